// The image check that stands between a user's file and a unit restarted into its bootloader.

#include "device/fw_image_check.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_fw_image_check : public QObject {
    Q_OBJECT

    static QByteArray sample(const char* name)
    {
        QFile file(QString::fromLocal8Bit(qgetenv("BRENNIX_TEST_DATA")) + QLatin1Char('/') + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void reports_the_first_bad_line()
    {
        const QByteArray tag = ":080100004D41564F30313939F1\n"; // MAVO0199
        const QByteArray end = ":00000001FF\n";
        const QByteArray good = ":020000040000FA\n" + tag + end;
        const QByteArray wide = ":1E000000000000000000000000000000000000000000000000000000000000000000E2\n";
        const struct {
            const char* name;
            QByteArray data;
            QString file;
            int line;
            QString reason;
        } cases[] = {
            {"sample hex", sample("RV8_MAVO_0180.hex"), "RV8_MAVO_0180.hex", 0, ""},
            {"sample bnhex", sample("RV8_MAVO_0181.bnhex"), "RV8_MAVO_0181.bnhex", 0, ""},
            {"CR LF, comments and blank lines", "; built 2026\r\n\r\n" + good, "MAVO.hex", 0, ""},
            {"bad checksum", sample("RV8_MAVO_0180_bad_line.hex"), "RV8_MAVO_0180_bad_line.hex", 12,
             "line 12: checksum is 0x5E, the record says 0x53"},
            {"name without tag", good, "/tmp/rv8_0180.hex", 0,
             "the file name has no \"MAVO\": not an RV8 firmware image"},
            {"not hex", ":02000004000GFA\n" + tag + end, "MAVO.hex", 1,
             "line 1: not an Intel HEX record: 'G' at column 13 is not a hex digit"},
            {"odd digits", ":020000040000F\n" + tag + end, "MAVO.hex", 1,
             "line 1: not an Intel HEX record: 13 hex digits, a record has an even number and at least 10"},
            {"short of data", ":0300000000FD\n" + tag + end, "MAVO.hex", 1,
             "line 1: not an Intel HEX record: it says 3 data bytes but holds 1"},
            {"record type", tag + ":00000006FA\n" + end, "MAVO.hex", 2,
             "line 2: record type 06 is not supported (the bootloader takes 00 to 05)"},
            {"too long for the transfer", tag + wide + end, "MAVO.hex", 2,
             "line 2: 71 characters, the transfer passes on only 63"},
            {"bar line too long", "|" + wide.mid(1) + "|00000001FF\n", "MAVO.bnhex", 1,
             "line 1: 71 characters, the transfer passes on only 63"},
            {"indented record", tag + "  :020000000102FB\n" + end, "MAVO.hex", 2,
             "line 2: begins with white space, so the transfer would skip this record"},
            {"after the end", tag + end + ":020000000102FB\n", "MAVO.hex", 3, "line 3: a record after the end record of line 2"},
            {"no end record", ":020000040000FA\n" + tag, "MAVO.hex", 0,
             "no end record (:00000001FF): the unit would stay in its bootloader"},
            {"no version", ":020000000102FB\n" + end, "MAVO.hex", 0,
             "no \"MAVO\" version text followed by four hex digits in the image's data"},
            {"nothing to send", "# empty\n", "MAVO.hex", 0, "no firmware records (lines beginning with ':' or '|')"},
        };
        for (const auto& c : cases) {
            const fw_image_report r = check_fw_image_data(c.data, c.file);
            QVERIFY2(r.ok == c.reason.isEmpty() && r.line == c.line && r.reason == c.reason,
                     qPrintable(QStringLiteral("%1: %2 %3").arg(QLatin1String(c.name)).arg(r.line).arg(r.reason)));
        }
    }

    void reads_files_and_versions()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("RV8_MAVO_0190.hex"));
        const fw_image_report r = check_fw_image(missing);
        QCOMPARE(std::make_tuple(r.ok, r.line, r.reason),
                 std::make_tuple(false, 0, QStringLiteral("cannot read %1: No such file or directory").arg(missing)));
        QCOMPARE(fw_image_version(sample("RV8_MAVO_0180.hex")), std::optional<quint16>(0x0180));
        QCOMPARE(fw_image_version(sample("RV8_MAVO_0181.bnhex")), std::optional<quint16>());
        QCOMPARE(fw_image_version(":080100004D41564F30313G39F1\n"), std::optional<quint16>());
    }
};

QTEST_GUILESS_MAIN(tst_fw_image_check)
#include "tst_fw_image_check.moc"
