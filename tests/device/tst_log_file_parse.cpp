#include "device/log_row_parser.h"
#include "tests/device/tst_worker_rig.h"

namespace {

// A row at time t whose first value is v and whose other values are zero.
QByteArray row(qint64 t, int v = 1)
{
    return QByteArray::number(t) + "," + QByteArray::number(v) + QByteArray(",0").repeated(30) + "\r\n";
}

} // namespace

// Reading live-log files: sections, comments, file marks and rows the program did not write itself.
class tst_log_file_parse : public QObject {
    Q_OBJECT

    std::unique_ptr<rv8_worker> worker;
    QTemporaryDir dir;

    QString write(const QByteArray& text) { return write_file(dir.filePath("log.bnlog"), text); }
    QList<unsigned int> firsts() const { return column(worker->get_data(rv8_log::e_batt_adc)); }
    QList<unsigned int> marks() const { return column(worker->get_file_marks()); }

private slots:
    void initTestCase() { register_model_meta_types(); }
    void init() { worker.reset(new rv8_worker); }

    void rows_read_in_place_as_the_frame_would_read_them()
    {
        const log_row_parser parser;
        const QByteArray twos = QByteArray(",2").repeated(29);
        const QList<QByteArray> rows{
            row(1700000000123, 513).trimmed(),
            row(-5, 70000).trimmed(),                                       // wider than its column
            "17," + QByteArray("4294967296,").repeated(30) + "4294967297",  // wider than 32 bits
            row(10, 3).trimmed() + ",extra,fields",                         // ignored
            // a sign the fast path leaves, a blank inside, a negative value
            "+12,1,2" + twos, "12, 1,2" + twos, "12,-1,2" + twos,
            // a value short, the last one empty, beyond 64 bits
            "12,1" + twos, "12,1" + twos + ",", "12,1" + twos + ",99999999999999999999999", "garbage",
        };
        for (const QByteArray& r : rows) {
            log_capture log;
            const rv8_frame fast = parser.frame(std::string_view(r.constData(), size_t(r.size())));
            const QStringList fast_messages = log.texts();
            log.clear();
            QVERIFY2(fast == rv8_frame(QString::fromLatin1(r)), r.constData());
            QCOMPARE(fast_messages, log.texts());
        }
    }

    void files_data()
    {
        using values = QList<unsigned int>;
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<values>("firsts");
        QTest::addColumn<values>("marks");
        QTest::addColumn<int>("main_mode"); // from the settings read back; -1: none read
        QTest::addColumn<QString>("message");
        const QByteArray settings = "[rv8_vars]\r\nints\\14\\Main%20mode=2\r\nints\\size=14\r\n";
        QTest::newRow("by hand") << "# by hand\r\n" + row(1000, 7) + row(1013, 8) + "\r\n# a note\r\n" + row(1026, 9)
                                 << values{7, 8, 9} << values{1, 1, 1} << -1 << "Parsed file %1 with 3 lines.";
        QTest::newRow("settings") << settings + "\r\n[rv8_log]\r\n# x\r\n" + rv8_frame::csv_header().toLatin1() +
                                         row(500, 1) + "# pit stop\r\n" + row(510, 2)
                                  << values{1, 2} << values{1, 1} << 2 << "Parsed file %1 with 2 lines.";
        // Without "[rv8_log]" the settings run to the end and no row is a sample.
        QTest::newRow("settings only") << settings + row(1000) + row(1010) << values() << values() << 2
                                       << "Parsed file %1 with 0 lines.";
        // 60 ms before 1100 and 51 ms before 1221 break the stretch; 50 ms and going back do not.
        QTest::newRow("gaps") << row(1000) + row(1020) + row(1040) + row(1100) + row(1120) + row(1170) + row(1221) +
                                     row(1200) + row(1210)
                              << values{1, 1, 1, 1, 1, 1, 1, 1, 1} << values{1, 1, 0, 0, 1, 0, 0, 1, 1} << -1
                              << "Parsed file %1 with 9 lines.";
        // Stamps as far apart as 64 bits allow are a gap, not an overflow.
        const qint64 low = std::numeric_limits<qint64>::min(), high = std::numeric_limits<qint64>::max();
        QTest::newRow("extreme stamps") << row(low) + row(high) + row(low) + row(0) << values{1, 1, 1, 1}
                                        << values{0, 0, 0, 0} << -1 << "Parsed file %1 with 4 lines.";
        QTest::newRow("bad row") << row(1000) + "1010,12,oops\r\n" + row(1020) << values{1, 0, 1} << values{1, 0, 0}
                                 << -1 << "Could not parse line in log: 1010,12,oops";
        // Markers are comments to the rows; a process killed while writing leaves its last row cut.
        QTest::newRow("markers, and a row cut short")
            << row(1000, 7) + "# marker 1000 first\r\n" + row(1013, 8) + "# marker 1013\r\n1026,9,0,0"
            << values{7, 8} << values{1, 1} << -1
            << "The last row of %1 ends without a line end and is left out: 1026,9,0,0";
        QTest::newRow("a whole last row without its line end")
            << row(1000, 7) + row(1013, 8).trimmed() << values{7, 8} << values{1, 1} << -1
            << "Parsed file %1 with 2 lines.";
    }

    void files()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, main_mode);
        QSignalSpy read(worker.get(), &rv8_worker::read_file);
        QSignalSpy parsed(worker.get(), &rv8_worker::parsed_log_file);
        log_capture log;
        const QString path = write(text);
        worker->parse_log_file(path);
        QTEST(firsts(), "firsts");
        QTEST(marks(), "marks");
        QCOMPARE(parsed.count(), 1);
        QCOMPARE(read.count(), main_mode < 0 ? 0 : 1);
        if (main_mode >= 0) {
            QCOMPARE(read[0][2].value<QList<quint32>>()[int_main_mode], quint32(main_mode));
            QCOMPARE(read[0][4].value<QList<QString>>().size(), 4 + 2); // four tables, RPM scaler, prime delay
        }
        QFETCH(QString, message);
        QVERIFY2(log.count(message.replace("%1", path)) == 1, qPrintable(log.texts().join(" | ")));
    }

    // Long enough to be read in several runs, each on two threads: marks, markers and rows as the
    // rule gives them row by row, whichever run a gap falls at the start of.
    void a_long_file_reads_as_a_short_one_does()
    {
        QByteArray text = rv8_frame::csv_header().toLatin1();
        QList<unsigned int> values, expected_marks;
        QList<qint64> marker_stamps;
        qint64 t = 1000;
        for (int k = 0; k < 40000; ++k) {
            const bool gap = k > 0 && k % 3 == 0;
            t += gap ? 60 : 13;
            text += row(t, k % 1000);
            values << unsigned(k % 1000);
            expected_marks << (gap ? 0 : 1);
            if (gap)
                expected_marks[k - 1] = 0;
            if (k % 4999 == 0) {
                text += "# marker " + QByteArray::number(t) + " lap " + QByteArray::number(k) + "\r\n";
                marker_stamps << t;
            }
        }
        QSignalSpy markers(worker.get(), &rv8_worker::markers_read);
        worker->parse_log_file(write(text));
        QCOMPARE(firsts(), values);
        QCOMPARE(marks(), expected_marks);
        QCOMPARE(markers.count(), 1);
        QList<qint64> read;
        for (const log_marker& m : markers[0][0].value<QList<log_marker>>())
            read << m.stamp;
        QCOMPARE(read, marker_stamps);
        QCOMPARE(markers[0][0].value<QList<log_marker>>()[2].note, QStringLiteral("lap 9998"));
    }

    void a_parse_replaces_the_store_and_a_failed_one_keeps_it()
    {
        worker->parse_log_file(write(row(1000) + row(1010)));
        worker->parse_log_file(write(row(2000, 5)));
        QCOMPARE(firsts(), QList<unsigned int>{5});
        QCOMPARE(marks(), QList<unsigned int>{1});

        log_capture log;
        QSignalSpy parsed(worker.get(), &rv8_worker::parsed_log_file);
        const QString missing = dir.filePath("missing.bnlog");
        worker->parse_log_file(missing);
        QVERIFY(log.has(QtCriticalMsg, "Could not open file for reading: " + missing) && parsed.isEmpty());
        QCOMPARE(firsts(), QList<unsigned int>{5});
    }
};

QTEST_GUILESS_MAIN(tst_log_file_parse)
#include "tst_log_file_parse.moc"
