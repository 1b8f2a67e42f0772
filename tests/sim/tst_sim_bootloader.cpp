// Firmware transfer to the bootloader, line by line and byte by byte, with the sample images.

#include "sim_test_bench.h"

#include <QFile>
#include <QtTest>

namespace {

const QByteArray line_ack = hex("1306");
const QByteArray refused = hex("1315");
const QByteArray xon = hex("11");
const QByteArray done = hex("0611");

QList<QByteArray> image_lines(const QString& name)
{
    QFile f(qEnvironmentVariable("BRENNIX_TEST_DATA") + "/" + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (!l.trimmed().isEmpty())
            lines.append(l.trimmed());
    return lines;
}

struct boot_bench : sim_bench {
    explicit boot_bench(sim_config c = flash_4ms()) : sim_bench(c)
    {
        ask(hex("C3050001C007"), 0);
        poll(100); // the banner
        ask("\r", 100);
    }
    static sim_config flash_4ms()
    {
        sim_config c;
        c.flash_write_ms = 4;
        return c;
    }
    // One line as the program sends it: what comes at once, and what follows within 100 ms.
    QPair<QByteArray, QByteArray> line(const QByteArray& text)
    {
        const QByteArray first = ask(text + "\r", now + 100);
        return {first, poll(now + 100)};
    }
    // The whole image; returns the line number that was refused, 0 if none.
    int send_all(const QList<QByteArray>& lines)
    {
        for (int i = 0; i < lines.size(); ++i) {
            const auto r = line(lines[i]);
            if (r.first != line_ack)
                return i + 1;
            const bool last = i + 1 == lines.size();
            if (r.second != (last ? xon + done : xon))
                return -(i + 1);
        }
        return 0;
    }
};

} // namespace

class tst_sim_bootloader : public QObject {
    Q_OBJECT

private slots:
    void sample_image_installs_its_version();
    void xon_waits_for_the_flash_write();
    void corrupted_line_is_refused_and_transfer_can_restart();
    void fault_refuses_line_k_once();
    void lines_the_bootloader_judges();
    void pipe_lines_and_bnhex_image();
    void image_without_version_keeps_the_old_one();
    void interrupted_transfer_leaves_no_application();
    void lines_may_arrive_in_pieces();
};

void tst_sim_bootloader::sample_image_installs_its_version()
{
    const QList<QByteArray> lines = image_lines("RV8_MAVO_0180.hex");
    QCOMPARE(lines.size(), 25);
    boot_bench b;
    QCOMPARE(b.ask(hex("C3050001B671")), QByteArray()); // the application is not running
    QCOMPARE(b.send_all(lines), 0);
    QVERIFY(!b.unit.in_bootloader());
    QCOMPARE(b.unit.fw_version(), quint16(0x0180));
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0180"));
    QCOMPARE(b.ask(hex("C3050001C106")), hex("3C05FAAA"));
}

void tst_sim_bootloader::xon_waits_for_the_flash_write()
{
    sim_config c;
    c.flash_write_ms = 30;
    boot_bench b(c);
    QCOMPARE(b.ask(":020000040000FA\r", 1000), line_ack);
    QCOMPARE(b.poll(1029), QByteArray());
    QCOMPARE(b.poll(1030), xon);
    QCOMPARE(b.ask(":00000001FF\r", 1100), line_ack);
    QCOMPARE(b.poll(1129), QByteArray());
    QCOMPARE(b.poll(1130), xon + done);
}

void tst_sim_bootloader::corrupted_line_is_refused_and_transfer_can_restart()
{
    boot_bench b;
    QCOMPARE(image_lines("RV8_MAVO_0180_bad_line.hex").size(), 25);
    QCOMPARE(b.send_all(image_lines("RV8_MAVO_0180_bad_line.hex")), 12);
    QCOMPARE(b.poll(b.now + 1000), QByteArray()); // no XON after a refusal
    QVERIFY(b.unit.in_bootloader());
    QCOMPARE(b.unit.fw_version(), quint16(0x0175));

    b.ask("\r");
    QCOMPARE(b.send_all(image_lines("RV8_MAVO_0180.hex")), 0);
    QCOMPARE(b.unit.fw_version(), quint16(0x0180));
}

void tst_sim_bootloader::fault_refuses_line_k_once()
{
    boot_bench b;
    b.unit.faults().refuse_hex_line = 3;
    const QList<QByteArray> lines = image_lines("RV8_MAVO_0180.hex");
    QCOMPARE(lines.size(), 25);
    QCOMPARE(b.line(lines[0]).first, line_ack);
    QCOMPARE(b.line(lines[1]).first, line_ack);
    const auto third = b.line(lines[2]);
    QCOMPARE(third.first, refused);
    QCOMPARE(third.second, QByteArray());
    QCOMPARE(b.unit.faults().refuse_hex_line, 0);
    QCOMPARE(b.send_all(lines), 0);
    QVERIFY(!b.unit.in_bootloader());
}

void tst_sim_bootloader::lines_the_bootloader_judges()
{
    boot_bench b;
    const QByteArray bad[] = {
        ":020000040000FB",   // record checksum off by one
        ":020000040000F",    // odd number of digits
        ":02000004000GFA",   // not a hex digit
        ":030000040000F9",   // byte count says 3, two data bytes follow
        ":00000006FA",       // no such record type
        ":",                 // nothing at all
        "|0200000400",       // cut short
    };
    for (const QByteArray& l : bad) {
        const auto r = b.line(l);
        QVERIFY2(r.first == refused && r.second.isEmpty(), l.constData());
    }
    // Not firmware lines: silently passed over.
    for (const QByteArray& l : {QByteArray(""), QByteArray("  "), QByteArray("; comment"), hex("C3050001B671")})
        QCOMPARE(b.line(l).first, QByteArray());
    // Surrounding blanks and a line feed do not matter.
    QCOMPARE(b.line("\n :020000040000FA ").first, line_ack);
    QCOMPARE(b.line(":0400000500000000F7").first, line_ack); // start linear address record
    QVERIFY(b.unit.in_bootloader());
}

void tst_sim_bootloader::pipe_lines_and_bnhex_image()
{
    boot_bench b;
    QCOMPARE(b.line("|:020000040000FA").first, line_ack);
    QCOMPARE(b.line("|020000040000FB").first, refused);

    boot_bench n;
    QCOMPARE(n.send_all(image_lines("RV8_MAVO_0181.bnhex")), 0);
    QCOMPARE(n.ask(hex("C3050001B671")), hex("3C05FA0181"));
}

void tst_sim_bootloader::image_without_version_keeps_the_old_one()
{
    boot_bench b;
    // "MAVO" followed by something other than four hex digits is no version either.
    QCOMPARE(b.send_all({":020000040000FA", ":080000004D41564F30313847E5", ":00000001FF"}), 0);
    QVERIFY(!b.unit.in_bootloader());
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0175"));
}

void tst_sim_bootloader::interrupted_transfer_leaves_no_application()
{
    {
        // Nothing written yet: the old application still starts.
        boot_bench b;
        b.line(":020000040000FA");
        b.unit.power_cycle(b.at(b.now + 10));
        QVERIFY(!b.unit.in_bootloader());
    }
    boot_bench b;
    const QList<QByteArray> lines = image_lines("RV8_MAVO_0180.hex");
    QCOMPARE(lines.size(), 25);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(b.line(lines[i]).first, line_ack);
    b.unit.power_cycle(b.at(b.now + 10));
    QVERIFY(b.unit.in_bootloader());
    QCOMPARE(b.ask(hex("C3050001B671")), QByteArray());
    b.ask("\r");
    QCOMPARE(b.send_all(lines), 0);
    b.unit.power_cycle(b.at(b.now + 10));
    QVERIFY(!b.unit.in_bootloader());
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0180"));
}

void tst_sim_bootloader::lines_may_arrive_in_pieces()
{
    boot_bench b;
    QByteArray out;
    for (char c : QByteArray(":020000040000FA\r"))
        out += b.ask(QByteArray(1, c), b.now + 1);
    QCOMPARE(out, line_ack);
    QCOMPARE(b.poll(b.now + 10), xon);
    // Two lines in one write: both acknowledged, in order.
    QCOMPARE(b.ask(":020000040000FA\r:00000001FF\r", b.now + 10), line_ack + line_ack);
    QCOMPARE(b.poll(b.now + 10), xon + xon + done);
}

QTEST_GUILESS_MAIN(tst_sim_bootloader)
#include "tst_sim_bootloader.moc"
