// Every named fault, byte by byte, and the live stream it garbles.

#include "sim_test_bench.h"

#include <QtTest>
#include <functional>

namespace {

// A table reply with its checksum byte replaced by the verdict on it.
QByteArray sum_checked(const QByteArray& r)
{
    return r.left(3 + 639) + (quint8(r[3 + 639]) == xor_of(r, 3, 3 + 639) ? "sum ok" : "sum bad");
}

struct step {
    QByteArray send; // empty: only wait
    double ms;
    QByteArray expect;
    QByteArray (*view)(const QByteArray&) = nullptr;
};

struct fault_case {
    const char* name;
    std::function<void(sim_faults&)> set;
    QList<step> steps;
    int set_after = 0; // steps run before the fault is switched on
};

const QByteArray version = hex("C3050001B671"), variant = hex("C3050001C106"), boot = hex("C3050001C007");
const QByteArray live_on = hex("C31300015584"), banner = "\r\nRV8 boot v2.1\r\n", line1 = ":020000040000FA\r";
const QByteArray line2 = ":10000000492805873EE67E12453D020F4463385D70\r";
const QByteArray line3 = ":10001000D0F23D8AAA0E771E0FCE87C7DB9A290B36\r";

} // namespace

class tst_sim_faults : public QObject {
    Q_OBJECT

private slots:
    void each_fault_fires_as_named();
};

void tst_sim_faults::each_fault_fires_as_named()
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
         {{request(0x08, hex("01")), 10, hex("3C08F7")}, {variant, 20, hex("3C05FAAA1234")}, {variant, 30, hex("3C05FAAA")}}},
        {"table checksum", [](sim_faults& f) { f.corrupt_table_checksum = 2; },
         {{command(0xAA), 10, sum_checked(gpo1).chopped(2) + "bad", sum_checked}, {command(0xA8), 20, aux}}},
        {"table marker", [](sim_faults& f) { f.corrupt_table_marker = 0; },
         {{command(0xA8), 10, patched(sum_checked(aux), 3 + 608, hex("00")), sum_checked}, {command(0xAA), 20, gpo1}}},
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
            QByteArray out = s.send.isEmpty() ? b.poll(s.ms) : b.ask(s.send, s.ms);
            out = s.view ? s.view(out) : out;
            QVERIFY2(out == s.expect, qPrintable(QString("%1, step %2: %3").arg(c.name).arg(i).arg(QString(out.toHex()))));
        }
        QVERIFY2(b.unit.memory() == sim_memory(), c.name); // faults garble the wire, never the memory
    }
}

QTEST_GUILESS_MAIN(tst_sim_faults)
#include "tst_sim_faults.moc"
