// The virtual unit on its own simulated clock, bytes in at a moment and bytes out up to a moment:
// the application firmware's replies, what its writes store, the EEPROM image that keeps them
// across runs, the named faults the worker's tests do not already pin through the worker, the
// outputs its own tables drive, and the bootloader.

#include "sim/sim_table.h"
#include "sim/sim_unit.h"

#include <QtTest>
#include <chrono>
#include <numeric>

namespace {

inline QByteArray hex(const char* text) { return QByteArray::fromHex(text); }
inline int word(const QByteArray& b, int offset) { return quint8(b[offset]) << 8 | quint8(b[offset + 1]); }

inline quint8 xor_of(const QByteArray& b, int from, int to)
{
    return std::accumulate(b.begin() + from, b.begin() + to, quint8(0), [](quint8 x, char c) { return quint8(x ^ c); });
}

// A request frame built the long way round, so a mistake in the unit's reader is not mirrored here.
inline QByteArray request(quint8 type, const QByteArray& payload)
{
    const QByteArray f = hex("C3") + char(type) + char(payload.size() >> 8) + char(payload.size() & 0xFF) + payload;
    return f + char(xor_of(f, 0, f.size()));
}
inline QByteArray command(quint8 code) { return request(0x05, QByteArray(1, char(code))); }

// Live records reduced to their trailers, so a stream compares exactly despite its sensor noise;
// bytes after the last whole record stay as they are.
inline QByteArray trailers(const QByteArray& stream)
{
    QByteArray out, rest = stream;
    for (; rest.size() >= 70; rest.remove(0, 70))
        out += rest.mid(68, 2);
    return out + rest;
}

struct sim_bench {
    explicit sim_bench(double live_period_ms = 10) : unit(sim_config{0x0175, 0xAA, live_period_ms}) {}

    sim_clock::time_point at(double ms) const
    {
        return t0 + std::chrono::duration_cast<sim_clock::duration>(std::chrono::duration<double, std::milli>(ms));
    }
    // Sends at `ms` and returns all the unit has said by then.
    QByteArray ask(const QByteArray& bytes, double ms) { unit.receive(bytes, at(now = ms)); return poll(ms); }
    QByteArray ask(const QByteArray& bytes) { return ask(bytes, now + 10); }
    QByteArray poll(double ms) { return unit.take_output(at(now = ms)); }

    sim_unit unit;
    sim_clock::time_point t0 = sim_clock::time_point() + std::chrono::hours(1);
    double now = 0;
};

// Bytes sent at ms (none: only wait) and what the unit has said by then, its records reduced to
// their trailers.
struct step { QByteArray send; double ms; QByteArray expect; };

const QByteArray version = hex("C3050001B671"), live_on = hex("C31300015584");

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

const QByteArray line_ack = hex("1306"), refused = hex("1315"), xon = hex("11"), done = hex("0611");

QList<QByteArray> image_lines(const QString& name)
{
    QFile f(qEnvironmentVariable("BRENNIX_TEST_DATA") + "/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().split('\n') : QList<QByteArray>();
}

struct boot_bench : sim_bench {
    boot_bench() { ask(hex("C3050001C007"), 0); poll(100); } // past the banner
    // One line as the program sends it: what comes at once, and what follows within 100 ms.
    QPair<QByteArray, QByteArray> line(const QByteArray& text)
    {
        const QByteArray first = ask(text + "\r", now + 100);
        return {first, poll(now + 100)};
    }
    // The whole image; returns the line number refused or wrongly paced, 0 if none.
    int send_all(const QList<QByteArray>& lines)
    {
        for (int i = 0; i < lines.size(); ++i)
            if (line(lines[i]) != qMakePair(line_ack, i + 1 == lines.size() ? xon + done : xon))
                return i + 1;
        return 0;
    }
};

} // namespace

class tst_sim : public QObject {
    Q_OBJECT

private slots:
    // Every command's reply; a block written comes back in the layout read, everything besides the
    // written part as it was.
    void commands_and_writes()
    {
        const sim_memory factory;
        const QByteArray modes = hex("A2B3D1E0520123530456000100020003FFFF");
        const QByteArray base = hex("00003F000003600000E0"), active = hex("00004000000370000100002A");
        QByteArray t(640, '\0');
        std::generate(t.begin(), t.end(), [i = 0]() mutable { return char(7 * i++); });
        const auto table = [&](int n) { return QByteArray(factory.tables[size_t(n)]); };
        const struct { int code, length; QByteArray data; /* compared when it has the reply's length */
                       QByteArray write = {}, ack = {}; int offset = 0; QByteArray stored = {}; } cases[] = {
            {0xA2, 2, {}}, {0xB3, 1, hex("00")}, {0xB4, 1, hex("00")}, {0xB6, 2, hex("0175")}, {0xB7, 0, {}},
            {0xC0, 0, {}}, {0xC1, 1, hex("AA")},
            {0xA8, 640, table(0), request(0x0A, t), hex("3C0AF5"), 0, t},
            {0xA9, 640, table(1), request(0x0B, t), hex("3C0BF4"), 0, t},
            {0xAA, 640, table(2), request(0x0C, t), hex("3C0CF3"), 0, t},
            {0xAB, 640, table(3), request(0x0D, t), hex("3C0DF2"), 0, t},
            {0xB8, 3, hex("04AE00"), request(0x0E, hex("AA06AC0000")), hex("3C0EF1"), 0, hex("06AC00")},
            {0xBB, 2, hex("0026"), request(0x07, hex("012322")), hex("3C07F8"), 0, hex("0123")},
            {0xBD, 38, hex("000000000000000000000000000000000000ABBA" "A1B1D2E15103FF50000000080008FFFFFFFF"),
             request(0x15, modes), hex("3C15EA"), 20, modes},
            {0xBF, 28, hex("00003EFA0003646800DF00003EFA0003646800DF0030ABBA00000000"), request(0x16, base),
             hex("3C16E9"), 0, base},
            {0xBF, 28, {}, request(0x17, active), hex("3C17E8"), 10, active},
        };
        for (const auto& c : cases) {
            sim_bench b;
            QByteArray r = b.ask(command(quint8(c.code)));
            QVERIFY2(r.left(3) == hex("3C05FA") && r.size() == 3 + c.length, r.toHex().constData());
            QVERIFY2(c.data.size() != c.length || r.mid(3) == c.data, r.toHex().constData());
            if (c.write.isEmpty())
                continue;
            QCOMPARE(b.ask(c.write), c.ack);
            QCOMPARE(b.ask(command(quint8(c.code))), r.replace(3 + c.offset, c.stored.size(), c.stored));
        }
    }

    void requests_that_get_no_answer()
    {
        sim_bench b;
        // Bad checksum, unknown type and command, a command of two bytes, wrong check bytes (scaler,
        // delay), a table a byte short, no output 5, a live switch neither on nor off.
        const QByteArray ignored[] = {
            hex("C3050001B672"), request(0x09, hex("01")), command(0xB0), request(0x05, hex("B6B6")),
            request(0x0E, hex("AA04AF0000")), request(0x07, hex("012323")), request(0x0A, QByteArray(639, 0)),
            request(0x08, hex("05")), request(0x13, hex("54")),
        };
        for (const QByteArray& r : ignored)
            QVERIFY2(b.ask(r).isEmpty(), r.toHex().constData());
        QVERIFY(!b.unit.streaming() && b.unit.memory() == sim_memory());
        // A length no request has: the reader hunts on and still answers the frame behind it.
        QCOMPARE(b.ask(hex("C305FFFF") + version), hex("3C05FA0175"));
    }

    void eeprom_file_round_trip_and_damage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("unit.eeprom");
        sim_memory saved;
        const QByteArray table = saved.tables[sim_memory::gpo2] = saved.tables[sim_memory::main];
        saved.set_rpm_scaler(0x06);
        QFile f(path);
        const QByteArray text = saved.save(path) && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        QVERIFY(text.startsWith("# RV8 virtual unit EEPROM\ngpi1_state 00\ngpi2_state 00\nrpm_scaler 06ac00\n"));
        sim_bench after;
        QVERIFY(after.unit.memory().load(path) && after.unit.memory() == saved);
        QCOMPARE(after.ask(command(0xAB)) + after.ask(command(0xB8)), hex("3C05FA") + table + hex("3C05FA06AC00"));

        const QByteArray gpo1 = "table_gpo1 " + sim_memory().tables[2].toHex();
        const QPair<QByteArray, QString> damaged[] = {
            {QByteArray(text).replace(gpo1, gpo1.left(gpo1.size() - 2)), "table_gpo1: 639 bytes, expected 640"},
            {text + "rubbish\n", "malformed line: rubbish"},
        };
        sim_memory m;
        QString error;
        for (const auto& d : damaged) {
            QFile w(path);
            QVERIFY(w.open(QIODevice::WriteOnly) && w.write(d.first) == d.first.size() && w.flush());
            QVERIFY(!m.load(path, &error));
            QCOMPARE(error, d.second);
        }
        QVERIFY(m == sim_memory()); // a refused file changes nothing
    }

    void timed_exchanges_and_faults()
    {
        const QByteArray live_off = request(0x13, hex("00")), restart = hex("C3050001B770");
        // No fault: records every period, the last 64 after a long silence, none once off or restarted.
        const QList<step> stream = {
            {live_on, 0, hex("3C13EC")}, {"", 9.9, ""}, {"", 30, hex("AABBAABBAABB")}, {live_off, 45, hex("AABB3C13EC")},
            {"", 500, ""}, {live_on, 1000, hex("3C13EC")}, {"", 60000, hex("AABB").repeated(sim_unit::max_catch_up)},
            {"", 60010, hex("AABB")}, {restart, 60015, hex("3C05FA")}, {"", 70000, ""}};
        const QList<step> late = {
            {version, 1000, ""}, {"", 3499, ""}, {"", 3500, hex("3C05FA0175")}, {version, 3600, hex("3C05FA0175")}};
        for (const bool is_late : {false, true}) {
            sim_bench b;
            b.unit.faults().late_replies = is_late;
            b.unit.faults().late_by_ms = 2500;
            const QList<step>& steps = is_late ? late : stream;
            for (int i = 0; i < steps.size(); ++i) {
                const step& s = steps[i];
                const QByteArray out = trailers(s.send.isEmpty() ? b.poll(s.ms) : b.ask(s.send, s.ms));
                QVERIFY2(out == s.expect, qPrintable(QString("late %1, step %2: %3").arg(is_late).arg(i).arg(QString(out.toHex()))));
            }
            QVERIFY(b.unit.memory() == sim_memory()); // faults garble the wire, never the memory
        }
    }

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

    // A refused image leaves no application to start, even after a power cycle; a good one runs at once
    // and after the next power cycle, with the version its image carries. Back in the bootloader, the
    // lines it refuses and the pieces it puts together.
    void the_bootloader()
    {
        boot_bench b;
        QCOMPARE(b.send_all(image_lines("RV8_MAVO_0180_bad_line.hex")), 12);
        QCOMPARE(b.poll(b.now + 1000), QByteArray()); // no XON after a refusal
        b.unit.power_cycle(b.at(b.now + 10));
        QCOMPARE(b.ask(version), QByteArray());
        QCOMPARE(b.send_all(image_lines("RV8_MAVO_0180.hex")), 0);
        QCOMPARE(b.ask(version), hex("3C05FA0180"));
        b.unit.power_cycle(b.at(b.now + 10));
        QCOMPARE(b.ask(version), hex("3C05FA0180"));

        b.ask(hex("C3050001C007"));
        b.poll(b.now + 100); // past the banner
        // Checksum off by one, odd digits, not hex, byte count 3 with two data bytes, no such type, empty,
        // cut short, and a piped record with a bad checksum.
        for (const char* l : {":020000040000FB", ":020000040000F", ":02000004000GFA", ":030000040000F9", ":00000006FA",
                              ":", "|0200000400", "|020000040000FB"})
            QVERIFY2(b.line(l) == qMakePair(refused, QByteArray()), l);
        // Lines in pieces, with blanks about them, and joined in one write.
        QByteArray out;
        for (char c : QByteArray("\n :020000040000FA \r:00000001FF\r"))
            out += b.ask(QByteArray(1, c), b.now + 1);
        QCOMPARE(out + b.poll(b.now + 10), line_ack + xon + line_ack + xon + done);
    }
};

QTEST_GUILESS_MAIN(tst_sim)
#include "tst_sim.moc"
