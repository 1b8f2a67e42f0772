// Firmware transfer to the bootloader, line by line, with the sample images.

#include "sim_test_bench.h"

#include <QFile>
#include <QtTest>

namespace {

const QByteArray line_ack = hex("1306"), refused = hex("1315"), xon = hex("11"), done = hex("0611");
const QByteArray version = hex("C3050001B671");

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
    // A refused image leaves no application to start, even after a power cycle; a good one runs at once
    // and after the next power cycle, with the version its image carries.
    void images_install_their_version()
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
    }

    void lines_the_bootloader_judges()
    {
        boot_bench b;
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

QTEST_GUILESS_MAIN(tst_sim_bootloader)
#include "tst_sim_bootloader.moc"
