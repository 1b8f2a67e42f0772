// Outputs in the live records driven by the unit's own tables, and host overrides that beat them.

#include "sim_test_bench.h"
#include "sim/sim_table.h"

#include <QtTest>

namespace {

enum { map = 2, rpm = 14, aux_duty = 16, main_duty = 18, gpo1_duty = 20, gpo2_duty = 28 };

// Cells rise with engine speed (column j holds j x 60 counts) or with load (row i holds i x 60),
// over the axes 0, 500 ... 7500 RPM and 0, 68 ... 1020 counts.
QByteArray ramp_table(bool along_rpm)
{
    QByteArray t(640, '\0');
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 16; ++j)
            sim_table::put_be16(t, (i * 16 + j) * 2, quint16((along_rpm ? j : i) * 60));
        sim_table::put_be16(t, 512 + 2 * i, quint16(i * 68));
        sim_table::put_be16(t, 544 + 2 * i, quint16(i * 500));
    }
    t[608] = char(0xCC);
    t[638] = char(0xA1);
    t[639] = char(xor_of(t, 0, 639));
    return t;
}

// Records up to `ms`, polled one period at a time so none is lost to the catch-up bound.
QList<QByteArray> records_until(sim_bench& b, double ms)
{
    QList<QByteArray> out;
    for (double period = b.unit.config().live_period_ms, t = b.now + period; t <= ms + 1e-9; t += period)
        for (QByteArray bytes = b.poll(t); !bytes.isEmpty(); bytes.remove(0, 70))
            out += bytes.left(70);
    return out;
}

} // namespace

class tst_sim_engine : public QObject {
    Q_OBJECT

private slots:
    void duty_follows_the_table_along_speed_and_load()
    {
        sim_bench b(100);
        const QByteArray setup = hex("C31300015584") + request(0x15, hex("A1B1D1E15000005000000000000000000000"))
                                 + request(0x0B, ramp_table(true)) + request(0x0A, ramp_table(false));
        QCOMPARE(b.ask(setup, 0), hex("3C13EC" "3C15EA" "3C0BF4" "3C0AF5"));
        const QList<QByteArray> records = records_until(b, 60000); // one whole drive cycle
        QCOMPARE(records.size(), 600);
        int swept = 0;
        for (const QByteArray& r : records) {
            const double speed = std::min(word(r, rpm), 7500), load = std::min(word(r, map), 1020);
            QVERIFY2(std::abs(word(r, main_duty) - speed / 500 * 60) <= 1, r.left(20).toHex().constData());
            QVERIFY2(std::abs(word(r, aux_duty) - load / 68 * 60) <= 1, r.left(20).toHex().constData());
            swept |= (word(r, rpm) < 1000) | (word(r, rpm) > 6500) << 1;
            swept |= (word(r, map) < 100) << 2 | (word(r, map) > 600) << 3;
        }
        QCOMPARE(swept, 15); // the cycle must sweep both axes, or the comparisons above prove little
    }

    void overrides_hold_until_reset()
    {
        sim_bench b;
        const QByteArray all_off = request(0x15, hex("A0B0D0E05000005000000000000000000000"));
        const struct { QByteArray send, ack; QList<int> duties; /* MAIN, AUX, GPO1, GPO2 */ } phases[] = {
            {all_off + hex("C31300015584") + request(0x01, hex("0101")), hex("3C15EA3C13EC3C01FE"), {0, 0x101, 0, 0}},
            {request(0x02, hex("0123")), hex("3C02FD"), {0x123, 0x101, 0, 0}},
            {request(0x04, hex("02AB")), hex("3C04FB"), {0x123, 0x101, 0x2AB, 0}},
            {request(0x06, hex("03FF")), hex("3C06F9"), {0x123, 0x101, 0x2AB, 0x3FF}},
            {request(0x08, hex("02")), hex("3C08F7"), {0x123, 0, 0x2AB, 0x3FF}}, // output numbers count MAIN first
            {request(0x08, hex("01")), hex("3C08F7"), {0, 0, 0x2AB, 0x3FF}},
            {hex("C3050001B770C31300015584"), hex("3C05FA3C13EC"), {0, 0, 0, 0}}, // a restart ends every override
        };
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(b.ask(phases[i].send, 100.0 * i), phases[i].ack);
            const QList<QByteArray> rs = records_until(b, 100.0 * i + 100);
            QCOMPARE(rs.size(), 10);
            for (const QByteArray& r : rs)
                QCOMPARE((QList<int>{word(r, main_duty), word(r, aux_duty), word(r, gpo1_duty), word(r, gpo2_duty)}),
                         phases[i].duties);
        }
    }
};

QTEST_GUILESS_MAIN(tst_sim_engine)
#include "tst_sim_engine.moc"
