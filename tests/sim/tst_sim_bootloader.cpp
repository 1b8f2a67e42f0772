// Firmware transfer to the bootloader, line by line, with the sample images.

#include "sim_test_bench.h"

#include <QFile>
#include <QtTest>

namespace {

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

class tst_sim_bootloader : public QObject {
    Q_OBJECT

private slots:
    void images_install_their_version();
    void bad_image_is_refused_and_transfer_restarts();
    void lines_the_bootloader_judges();
};

void tst_sim_bootloader::images_install_their_version()
{
    boot_bench b;
    QCOMPARE(b.ask(hex("C3050001B671")), QByteArray()); // the application is not running
    QCOMPARE(b.send_all(image_lines("RV8_MAVO_0180.hex")), 0);
    QVERIFY(!b.unit.in_bootloader());
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0180"));
    // "MAVO" followed by something other than four hex digits is no version: the old one stays.
    boot_bench v;
    QCOMPARE(v.send_all({":020000040000FA", ":080000004D41564F30313847E5", ":00000001FF"}), 0);
    QCOMPARE(v.ask(hex("C3050001B671")), hex("3C05FA0175"));
}

void tst_sim_bootloader::bad_image_is_refused_and_transfer_restarts()
{
    boot_bench b;
    QCOMPARE(b.send_all(image_lines("RV8_MAVO_0180_bad_line.hex")), 12);
    QCOMPARE(b.poll(b.now + 1000), QByteArray()); // no XON after a refusal
    b.unit.power_cycle(b.at(b.now + 10)); // half a transfer leaves no application to start
    QCOMPARE(b.ask(hex("C3050001B671")), QByteArray());
    QCOMPARE(b.send_all(image_lines("RV8_MAVO_0180.hex")), 0);
    b.unit.power_cycle(b.at(b.now + 10));
    QCOMPARE(b.ask(hex("C3050001B671")), hex("3C05FA0180"));
}

void tst_sim_bootloader::lines_the_bootloader_judges()
{
    boot_bench b;
    // Checksum off by one, odd digits, not hex, byte count 3 with two data bytes, no such type, empty,
    // cut short, and a piped record with a bad checksum.
    const QByteArray bad[] = {":020000040000FB", ":020000040000F", ":02000004000GFA", ":030000040000F9",
                              ":00000006FA",     ":",              "|0200000400",    "|020000040000FB"};
    for (const QByteArray& l : bad)
        QVERIFY2(b.line(l) == qMakePair(refused, QByteArray()), l.constData());
    for (const QByteArray& l : {QByteArray(""), QByteArray("; comment"), hex("C3050001B671")})
        QCOMPARE(b.line(l), qMakePair(QByteArray(), QByteArray())); // not firmware: passed over
    QCOMPARE(b.line("\n :020000040000FA "), qMakePair(line_ack, xon));
    QCOMPARE(b.line("|:0400000500000000F7"), qMakePair(line_ack, xon));
    // Lines in pieces and joined in one write.
    QByteArray out;
    for (char c : QByteArray(":020000040000FA\r:00000001FF\r"))
        out += b.ask(QByteArray(1, c), b.now + 1);
    QCOMPARE(out + b.poll(b.now + 10), line_ack + xon + line_ack + xon + done);
    QVERIFY(!b.unit.in_bootloader());
}

QTEST_GUILESS_MAIN(tst_sim_bootloader)
#include "tst_sim_bootloader.moc"
