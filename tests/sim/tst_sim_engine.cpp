// Live records from the engine model: their byte layout, outputs driven by the unit's own tables,
// modes, thresholds and overrides, and the inputs that move through the drive cycle.

#include "sim_test_bench.h"

#include "sim/sim_live_record.h"

#include <QtTest>

namespace {

int word(const QByteArray& r, int offset)
{
    return quint8(r[offset]) << 8 | quint8(r[offset + 1]);
}

enum { batt = 0, map = 2, main_current = 12, rpm = 14, aux_duty = 16, main_duty = 18, gpo1_duty = 20, gpo2_duty = 28 };

// A table whose cells rise with engine speed (column j holds j x 60 counts) or with load (row i
// holds i x 60), over the axes 0, 500 ... 7500 RPM and 0, 68 ... 1020 counts, thresholds at 0.
QByteArray ramp_table(bool along_rpm)
{
    QByteArray t(640, '\0');
    const auto put = [&](int offset, int v) {
        t[offset] = char(v >> 8);
        t[offset + 1] = char(v & 0xFF);
    };
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j)
            put((i * 16 + j) * 2, (along_rpm ? j : i) * 60);
        put(512 + 2 * i, i * 68);
        put(544 + 2 * i, i * 500);
    }
    t[608] = char(0xCC);
    t[638] = char(0xA1);
    quint8 x = 0;
    for (int i = 0; i < 639; ++i)
        x ^= quint8(t[i]);
    t[639] = char(x);
    return t;
}

// main A1, aux B1, gpo1 D1, gpo2 E1, both GPIs unused
const char* const table_modes = "A1B1D1E15000005000000000000000000000";

struct stream_bench : sim_bench {
    explicit stream_bench(double period_ms = 100) : sim_bench(config(period_ms))
    {
        ask(hex("C31300015584"), 0);
    }
    static sim_config config(double period_ms)
    {
        sim_config c;
        c.live_period_ms = period_ms;
        return c;
    }
    // Records up to ms, one poll per record so none is lost to the catch-up bound.
    QList<QByteArray> records_until(double ms)
    {
        QList<QByteArray> out;
        for (double t = now + unit.config().live_period_ms; t <= ms + 1e-9; t += unit.config().live_period_ms) {
            const QByteArray bytes = poll(t);
            for (int i = 0; i + 70 <= bytes.size(); i += 70)
                out.append(bytes.mid(i, 70));
        }
        return out;
    }
};

} // namespace

class tst_sim_engine : public QObject {
    Q_OBJECT

private slots:
    void record_fields_sit_where_the_host_reads_them();
    void cycle_moves_speed_boost_and_inputs();
    void duty_follows_the_table_along_speed_and_load();
    void modes_and_thresholds_switch_outputs();
    void host_overrides_win_until_reset();
    void gpi_overrides_after_their_delay();
    void pump_prime_runs_main_flat_out_after_start();
    void equal_seeds_give_equal_streams();
};

void tst_sim_engine::record_fields_sit_where_the_host_reads_them()
{
    sim_live_record r;
    quint16 v = 0x0101;
    for (quint16* f : {&r.batt_adc, &r.map_adc, &r.an1_adc, &r.afr, &r.an2_adc, &r.aux_current, &r.main_current,
                       &r.rpm, &r.aux_duty, &r.main_duty, &r.gpo1_duty, &r.boost_target_low, &r.boost_target_high,
                       &r.pot_boost_target, &r.gpo2_duty}) {
        *f = v;
        v += 0x0101;
    }
    r.gpi1_state = 0x10;
    r.gpi2_state = 0x11;
    r.aux_master = 0x12;
    r.inj_pulse_width = 0x1314;
    r.error_pol = 0x15;
    r.coarse_mode = 0x16;
    r.command = 0x1718;
    r.current_pos = 0x191A;
    r.error = 0xFFFFFFFE;
    r.previous_pid = 0x1B;
    r.pterm = 0x21222324;
    r.iterm = 0x25262728;
    r.dterm = 0x292A2B2C;
    r.istate = 0x2D2E2F30;
    r.istate_lu = 0x3132;
    r.result = 0x33343536;
    QCOMPARE(r.to_bytes().toHex(),
             QByteArray("0101020203030404050506060707080809090a0a0b0b0c0c0d0d0e0e0f0f"
                        "101112131415161718191a" "fffffffe" "1b" "21222324" "25262728" "292a2b2c" "2d2e2f30"
                        "3132" "33343536" "aabb"));
    QCOMPARE(r.to_bytes(true).right(2), hex("AABC"));
}

void tst_sim_engine::cycle_moves_speed_boost_and_inputs()
{
    stream_bench b;
    const QList<QByteArray> records = b.records_until(60000);
    QCOMPARE(records.size(), 600);
    int low_rpm = 65535, high_rpm = 0, low_map = 1023, high_map = 0, gpi1_high = 0, gpi2_high = 0;
    for (const QByteArray& r : records) {
        QCOMPARE(r.right(2), hex("AABB"));
        low_rpm = std::min(low_rpm, word(r, rpm));
        high_rpm = std::max(high_rpm, word(r, rpm));
        low_map = std::min(low_map, word(r, map));
        high_map = std::max(high_map, word(r, map));
        // 13.8 V is 748 counts; the pumps pull it down a little.
        QVERIFY2(word(r, batt) > 720 && word(r, batt) < 752, qPrintable(QString::number(word(r, batt))));
        gpi1_high += quint8(r[30]) ? 1 : 0;
        gpi2_high += quint8(r[31]) ? 1 : 0;
    }
    QVERIFY(low_rpm < 1000 && high_rpm > 6500);
    QVERIFY(low_map < 100);   // vacuum at idle
    QVERIFY(high_map > 600);  // more than 20 PSI of boost
    QVERIFY(gpi1_high > 0 && gpi1_high < 600);
    QVERIFY(gpi2_high > 0 && gpi2_high < 600);
}

void tst_sim_engine::duty_follows_the_table_along_speed_and_load()
{
    stream_bench b;
    QCOMPARE(b.ask(request(0x15, hex(table_modes)), 0), hex("3C15EA"));
    QCOMPARE(b.ask(request(0x0B, ramp_table(true)), 0), hex("3C0BF4"));
    QCOMPARE(b.ask(request(0x0A, ramp_table(false)), 0), hex("3C0AF5"));
    int checked = 0;
    for (const QByteArray& r : b.records_until(60000)) {
        const double speed = std::min(word(r, rpm), 7500);
        QVERIFY2(std::abs(word(r, main_duty) - speed / 500 * 60) <= 1,
                 qPrintable(QString("rpm %1 duty %2").arg(word(r, rpm)).arg(word(r, main_duty))));
        const double load = std::min(word(r, map), 1020);
        QVERIFY2(std::abs(word(r, aux_duty) - load / 68 * 60) <= 1,
                 qPrintable(QString("map %1 duty %2").arg(word(r, map)).arg(word(r, aux_duty))));
        // Currents follow duty: 12 A at full MAIN duty, 20.48 counts per amp.
        QVERIFY(std::abs(word(r, main_current) - word(r, main_duty) / 1023.0 * 12 * 20.48) <= 3);
        ++checked;
    }
    QCOMPARE(checked, 600);
}

void tst_sim_engine::modes_and_thresholds_switch_outputs()
{
    stream_bench b;
    // MAIN off, AUX from its table, GPO1 on above setpoint, GPO2 off above setpoint.
    b.ask(request(0x15, hex("A0B1D2E35000005000000000000000000000")), 0);
    QByteArray aux = ramp_table(true);
    aux[630] = char(1023 >> 8); // vertical threshold at the top: never reached
    aux[631] = char(1023 & 0xFF);
    aux[639] = char(aux[639] ^ char(0x03) ^ char(0xFF));
    b.ask(request(0x0A, aux), 0);
    QByteArray gpo = ramp_table(true);
    gpo[632] = char(4000 >> 8); // horizontal threshold 4000 RPM
    gpo[633] = char(4000 & 0xFF);
    gpo[639] = char(gpo[639] ^ char(4000 >> 8) ^ char(4000 & 0xFF));
    b.ask(request(0x0C, gpo), 0);
    b.ask(request(0x0D, gpo), 0);
    int above = 0, below = 0;
    for (const QByteArray& r : b.records_until(60000)) {
        QCOMPARE(word(r, main_duty), 0);
        QCOMPARE(word(r, aux_duty), 0);
        const bool fast = word(r, rpm) >= 4000;
        QCOMPARE(word(r, gpo1_duty), fast ? 1023 : 0);
        QCOMPARE(word(r, gpo2_duty), fast ? 0 : 1023);
        (fast ? above : below)++;
    }
    QVERIFY(above > 0 && below > 0);
}

void tst_sim_engine::host_overrides_win_until_reset()
{
    stream_bench b;
    b.ask(request(0x15, hex("A0B0D0E05000005000000000000000000000")), 0); // every output off
    QCOMPARE(b.ask(request(0x02, hex("0123")), 0), hex("3C02FD"));
    QCOMPARE(b.ask(request(0x06, hex("03FF")), 0), hex("3C06F9"));
    for (const QByteArray& r : b.records_until(1000)) {
        QCOMPARE(word(r, main_duty), 0x123);
        QCOMPARE(word(r, gpo2_duty), 0x3FF);
        QCOMPARE(word(r, aux_duty), 0);
        QVERIFY(std::abs(word(r, main_current) - 0x123 / 1023.0 * 12 * 20.48) <= 3);
    }
    QCOMPARE(b.ask(request(0x08, hex("01")), 1000).right(3), hex("3C08F7"));
    for (const QByteArray& r : b.records_until(2000)) {
        QCOMPARE(word(r, main_duty), 0);
        QCOMPARE(word(r, main_current), 0);
        QCOMPARE(word(r, gpo2_duty), 0x3FF);
    }
}

void tst_sim_engine::gpi_overrides_after_their_delay()
{
    // All outputs off; GPI1 forces GPO1 to 50 % 104 ms after going high (input high 20 s to 25 s of
    // the cycle) and holds it 104 ms after it drops.
    stream_bench c(10);
    c.ask(request(0x15, hex("A0B0D0E05302005000000008000800000000")), 0);
    const QList<QByteArray> records = c.records_until(26000);
    QCOMPARE(records.size(), 2600);
    for (int i = 0; i < records.size(); ++i) {
        const double t = (i + 1) * 10.0;
        const bool forced = t >= 20104 - 1e-6 && t < 25104 - 1e-6;
        QCOMPARE(int(quint8(records[i][30])), t >= 20000 - 1e-6 && t < 25000 - 1e-6 ? 1 : 0);
        QVERIFY2(word(records[i], gpo1_duty) == (forced ? 0x200 : 0), qPrintable(QString::number(t)));
    }
    QCOMPARE(c.ask(hex("C3050001B374"), 26000).right(4), hex("3C05FA00"));
}

void tst_sim_engine::pump_prime_runs_main_flat_out_after_start()
{
    stream_bench b(10);
    b.ask(request(0x15, hex("A2B0D0E05000005000000000000000000000")), 0);
    b.ask(request(0x07, hex("000A0A")), 0); // 10 ticks: 130 ms
    b.ask(hex("C3050001B770"), 1000);          // restart: the prime runs again
    b.ask(hex("C31300015584"), 1000);
    const QList<QByteArray> records = b.records_until(1300);
    QCOMPARE(records.size(), 30);
    for (int i = 0; i < records.size(); ++i)
        QCOMPARE(word(records[i], main_duty), i < 12 ? 1023 : 0); // 1010 .. 1120 ms still priming
}

void tst_sim_engine::equal_seeds_give_equal_streams()
{
    stream_bench a, b;
    QByteArray sa, sb;
    for (const QByteArray& r : a.records_until(5000))
        sa += r;
    for (const QByteArray& r : b.records_until(5000))
        sb += r;
    QCOMPARE(sa.size(), 50 * 70);
    QCOMPARE(sa, sb);
}

QTEST_GUILESS_MAIN(tst_sim_engine)
#include "tst_sim_engine.moc"
