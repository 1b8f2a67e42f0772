// Requests in, exact bytes out: the application firmware's replies, what its writes store, the
// EEPROM image that keeps them across runs, and every named fault.

#include "sim_test_bench.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// A table reply with its checksum byte replaced by the verdict on it.
QByteArray sum_checked(const QByteArray& r)
{
    return r.left(3 + 639) + (quint8(r[3 + 639]) == xor_of(r, 3, 3 + 639) ? "sum ok" : "sum bad");
}

// Bytes sent at ms (none: only wait) and what the unit has said by then, seen through view.
struct step { QByteArray send; double ms; QByteArray expect;
              QByteArray (*view)(const QByteArray&) = [](const QByteArray& b) { return b; }; };
// The fault is switched on before step set_after.
struct fault_case { const char* name; std::function<void(sim_faults&)> set; QList<step> steps; int set_after = 0; };

const QByteArray version = hex("C3050001B671"), variant = hex("C3050001C106"), boot = hex("C3050001C007");
const QByteArray live_on = hex("C31300015584"), banner = "\r\nRV8 boot v2.1\r\n", line1 = ":020000040000FA\r";
const QByteArray line2 = ":10000000492805873EE67E12453D020F4463385D70\r";
const QByteArray line3 = ":10001000D0F23D8AAA0E771E0FCE87C7DB9A290B36\r";

} // namespace

class tst_sim_requests : public QObject {
    Q_OBJECT

private slots:
    void every_command_answers_with_its_header_and_length()
    {
        const sim_memory factory;
        const struct { int code, length; QByteArray data; /* compared when it has the reply's length */ } cases[] = {
            {0xA2, 2, {}}, {0xA8, 640, factory.tables[0]}, {0xA9, 640, factory.tables[1]},
            {0xAA, 640, factory.tables[2]}, {0xAB, 640, factory.tables[3]}, {0xB3, 1, hex("00")}, {0xB4, 1, hex("00")},
            {0xB6, 2, hex("0175")}, {0xB7, 0, {}}, {0xB8, 3, hex("04AE00")}, {0xBB, 2, hex("0026")}, {0xC0, 0, {}},
            {0xC1, 1, hex("AA")},
            {0xBD, 38, hex("000000000000000000000000000000000000ABBA" "A1B1D2E15103FF50000000080008FFFFFFFF")},
            {0xBF, 28, hex("00003EFA0003646800DF00003EFA0003646800DF0030ABBA00000000")},
        };
        for (const auto& c : cases) {
            sim_bench b;
            const QByteArray r = b.ask(command(quint8(c.code)));
            QVERIFY2(r.left(3) == hex("3C05FA") && r.size() == 3 + c.length, r.toHex().constData());
            QVERIFY2(c.data.size() != c.length || r.mid(3) == c.data, r.toHex().constData());
        }
    }

    // Everything the read returns besides the written part must stay as it was.
    void writes_come_back_in_the_layout_read()
    {
        const QByteArray modes = hex("A2B3D1E0520123530456000100020003FFFF");
        const QByteArray base = hex("00003F000003600000E0"), active = hex("00004000000370000100002A");
        QByteArray t(640, '\0');
        std::generate(t.begin(), t.end(), [i = 0]() mutable { return char(7 * i++); });
        const struct { QByteArray write, ack; int read, offset; QByteArray stored; } cases[] = {
            {request(0x07, hex("012322")), hex("3C07F8"), 0xBB, 0, hex("0123")},
            {request(0x0E, hex("AA06AC0000")), hex("3C0EF1"), 0xB8, 0, hex("06AC00")},
            {request(0x15, modes), hex("3C15EA"), 0xBD, 20, modes},
            {request(0x16, base), hex("3C16E9"), 0xBF, 0, base},
            {request(0x17, active), hex("3C17E8"), 0xBF, 10, active},
            {request(0x0A, t), hex("3C0AF5"), 0xA8, 0, t}, {request(0x0B, t), hex("3C0BF4"), 0xA9, 0, t},
            {request(0x0C, t), hex("3C0CF3"), 0xAA, 0, t}, {request(0x0D, t), hex("3C0DF2"), 0xAB, 0, t},
        };
        for (const auto& c : cases) {
            sim_bench b;
            const QByteArray expected = patched(b.ask(command(quint8(c.read))), 3 + c.offset, c.stored);
            QCOMPARE(b.ask(c.write), c.ack);
            QCOMPARE(b.ask(command(quint8(c.read))), expected);
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

    void timed_exchanges_and_every_fault()
    {
        const QByteArray aux = hex("3C05FA") + sim_memory().tables[0], gpo1 = hex("3C05FA") + sim_memory().tables[2];
        const QByteArray live_off = request(0x13, hex("00")), restart = hex("C3050001B770");
        const fault_case cases[] = {
            // No fault: records every period, the last 64 after a long silence, none once off or restarted.
            {"stream", [](sim_faults&) {},
             {{live_on, 0, hex("3C13EC")}, {"", 9.9, ""}, {"", 30, hex("AABBAABBAABB"), trailers},
              {live_off, 45, hex("AABB3C13EC"), trailers}, {"", 500, ""}, {live_on, 1000, hex("3C13EC")},
              {"", 60000, hex("AABB").repeated(sim_unit::max_catch_up), trailers}, {"", 60010, hex("AABB"), trailers},
              {restart, 60015, hex("3C05FA")}, {"", 70000, ""}}},
            {"drop", [](sim_faults& f) { f.drop_replies = 2; },
             {{version, 10, ""}, {live_off, 20, ""}, {version, 30, hex("3C05FA0175")}}},
            // A write whose acknowledgement is garbled was still carried out, as on a noisy cable.
            {"header", [](sim_faults& f) { f.corrupt_headers = 1; },
             {{live_on, 0, hex("3C1313")}, {"", 20, hex("AABBAABB"), trailers}, {variant, 25, hex("3C05FAAA")}}},
            {"late", [](sim_faults& f) { f.late_replies = 1; f.late_by_ms = 2500; },
             {{version, 1000, ""}, {"", 3499, ""}, {"", 3500, hex("3C05FA0175")}, {version, 3600, hex("3C05FA0175")}}},
            {"truncate", [](sim_faults& f) { f.truncate_next_reply = 2; },
             {{version, 10, hex("3C05")}, {version, 20, hex("3C05FA0175")}}},
            {"extra", [](sim_faults& f) { f.extra_after_command = hex("1234"); },
             {{request(0x08, hex("01")), 10, hex("3C08F7")}, {variant, 20, hex("3C05FAAA1234")},
              {variant, 30, hex("3C05FAAA")}}},
            {"table checksum", [](sim_faults& f) { f.corrupt_table_checksum = 2; },
             {{command(0xAA), 10, sum_checked(gpo1).chopped(2) + "bad", sum_checked}, {command(0xA8), 20, aux}}},
            {"table marker", [](sim_faults& f) { f.corrupt_table_marker = 0; },
             {{command(0xA8), 10, patched(sum_checked(aux), 3 + 608, hex("00")), sum_checked},
              {command(0xAA), 20, gpo1}}},
            {"io marker", [](sim_faults& f) { f.corrupt_io_modes_marker = true; },
             {{command(0xBD), 10, patched(hex("3C05FA") + sim_memory().io_modes, 3 + 19, hex("00"))}}},
            {"map marker", [](sim_faults& f) { f.corrupt_map_cal_marker = true; },
             {{command(0xBF), 10, patched(hex("3C05FA") + sim_memory().map_cal, 3 + 23, hex("00"))}}},
            {"live trailer", [](sim_faults& f) { f.bad_live_trailer = true; },
             {{live_on, 0, hex("3C13EC")}, {"", 20, hex("AABCAABB"), trailers}, {"", 30, hex("AABB"), trailers}}, 1},
            {"backlog", [](sim_faults& f) { f.live_backlog = 3; },
             {{live_on, 0, hex("3C13EC")}, {"", 20, hex("AABBAABB"), trailers}, {"", 21, hex("AABBAABBAABB"), trailers},
              {"", 22, ""}}, 2},
            {"no banner", [](sim_faults& f) { f.banner = sim_faults::banner_fault::missing; },
             {{boot, 0, hex("3C05FA")}, {"", 1000, ""}, {version, 1010, hex("3C05FA0175")}}},
            {"v last", [](sim_faults& f) { f.banner = sim_faults::banner_fault::v_last; },
             {{boot, 0, hex("3C05FA")}, {"", 1000, "\r\nRV8 boot v"}, {version, 1010, ""}}},
            {"v not digit", [](sim_faults& f) { f.banner = sim_faults::banner_fault::v_not_digit; },
             {{boot, 0, hex("3C05FA")}, {"", 1000, "\r\nRV8 boot vX.1\r\n"}}},
            // The refusal starts the transfer over, so the third line sent after it is line 1 again.
            {"refuse line 3", [](sim_faults& f) { f.refuse_hex_line = 3; },
             {{boot, 0, hex("3C05FA")}, {"", 100, banner}, {line1, 200, hex("1306")}, {"", 300, hex("11")},
              {line2, 400, hex("1306")}, {"", 500, hex("11")}, {line3, 600, hex("1315")}, {"", 700, ""},
              {line1, 800, hex("1306")}, {line2, 900, hex("111306")}, {line3, 1000, hex("111306")}}},
        };
        for (const fault_case& c : cases) {
            sim_bench b;
            for (int i = 0; i < c.steps.size(); ++i) {
                if (i == c.set_after)
                    c.set(b.unit.faults());
                const step& s = c.steps[i];
                const QByteArray out = s.view(s.send.isEmpty() ? b.poll(s.ms) : b.ask(s.send, s.ms));
                QVERIFY2(out == s.expect,
                         qPrintable(QString("%1, step %2: %3").arg(c.name).arg(i).arg(QString(out.toHex()))));
            }
            QVERIFY2(b.unit.memory() == sim_memory(), c.name); // faults garble the wire, never the memory
        }
    }
};

QTEST_GUILESS_MAIN(tst_sim_requests)
#include "tst_sim_requests.moc"
