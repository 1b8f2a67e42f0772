#include "device/log_row_parser.h"
#include "tests/device/tst_worker_rig.h"

#include <csignal>
#include <sys/resource.h>

namespace {

// Writes past this many more bytes fail with "File too large", like a disk that fills up.
struct file_size_limit {
    rlimit saved;
    explicit file_size_limit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lowered{bytes, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~file_size_limit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

// A row at time t whose first value is v and whose other values are zero.
QByteArray row(qint64 t, int v = 1)
{
    return QByteArray::number(t) + "," + QByteArray::number(v) + QByteArray(",0").repeated(30) + "\r\n";
}

QList<unsigned int> firsts(const rv8_worker& w) { return column(w.get_data(rv8_log::e_batt_adc)); }
QList<unsigned int> marks(const rv8_worker& w) { return column(w.get_file_marks()); }

// Logging with 50 ms kept before a recording into path starts.
struct pre_trigger_rig : worker_rig {
    explicit pre_trigger_rig(const QString& path)
    {
        worker->set_pre_trigger(0.05);
        worker->set_log_file(path);
        start_logging();
    }
    // n records a millisecond or more apart, so that a stamp names one record, and the last
    // followed by `pause` ms.
    void take(int n, int pause = 0)
    {
        for (int k = 0; k < n; ++k) {
            queue_records(1);
            poll();
            const qint64 t = samples().last().timestamp + (k + 1 == n ? pause : 0);
            while (QDateTime::currentMSecsSinceEpoch() <= t)
                QThread::usleep(100);
        }
    }
};

} // namespace

// Live samples written to a live-log file and read back, the failures a user must hear of, and
// files the program did not write itself.
class tst_log_file : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    // The settings section and heads a recording into path opens with.
    QByteArray heads(const QString& path)
    {
        return read_all(dir.filePath("same.bnini")) + "[rv8_log]\r\n# Vantrel Brennix RV8-SX log " + path.toLocal8Bit() +
               "\r\n# Add comments in this log by starting it with a '#' character, like this line";
    }
    QString write(const QByteArray& text) { return write_file(dir.filePath("log.bnlog"), text); }

private slots:
    void initTestCase() { register_model_meta_types(); }

    void a_written_log_holds_settings_heads_and_rows_and_parses_back_the_same()
    {
        worker_rig rig;
        const QList<QVariant> read = rig.take_settings();

        const QString path = dir.filePath("run.bnlog");
        rig.worker->vars_to_file(dir.filePath("same.bnini"));
        rig.worker->set_log_file(path);
        rig.worker->enable_log_to_file(true);
        rig.worker->enable_log_to_file(true); // again, without a disable: nothing new
        QCOMPARE(read_all(path), heads(path));

        rig.start_logging();
        QSignalSpy ready(rig.worker.get(), &rv8_worker::log_data_ready);
        rig.queue_records(3);
        rig.poll(3);
        const QList<rv8_frame> written = firsts<rv8_frame>(ready);
        QByteArray text = heads(path) + "\r\n" + rv8_frame::csv_header().toLatin1();
        for (const rv8_frame& f : written)
            text += f.to_row().toLatin1();
        QCOMPARE(read_all(path), text);
        // A new name while recording: the recording goes on in the new file, behind its own heads.
        const QString next = dir.filePath("next.bnlog");
        rig.worker->set_log_file(next);
        rig.queue_records(1);
        rig.poll();
        const QByteArray next_text = heads(next) + "\r\n" + rv8_frame::csv_header().toLatin1() +
                                     ready.last()[0].value<rv8_frame>().to_row().toLatin1();
        QCOMPARE(read_all(next), next_text);
        rig.worker->enable_log_to_file(false);
        rig.queue_records(1);
        rig.poll();
        QCOMPARE(rig.marks(), (QList<unsigned int>{1, 1, 1, 1, 0}));
        // The first name again, as a second recording within one second would give: refused, kept.
        QSignalSpy failed(rig.worker.get(), &rv8_worker::log_file_failed);
        rig.worker->set_log_file(path);
        rig.worker->enable_log_to_file(true);
        QCOMPARE(static_cast<const QList<QVariantList>&>(failed),
                 (QList<QVariantList>{{path, "The file already holds data; it was left as it was."}}));
        QCOMPARE(read_all(path), text);
        QCOMPARE(read_all(next), next_text);

        rig.worker->stop_live_logging(true);
        rig.worker->add_field_to_var(quint32(99), int_main_mode); // the file must bring back the unit's value
        QSignalSpy file_read(rig.worker.get(), &rv8_worker::read_file);
        rig.worker->parse_log_file(path);
        QCOMPARE(rig.samples(), written);
        QCOMPARE(rig.marks(), (QList<unsigned int>{1, 1, 1}));
        QCOMPARE(file_read.count(), 1);
        QCOMPARE(file_read[0][1].value<QList<QByteArray>>().mid(0, 4), read[1].value<QList<QByteArray>>().mid(0, 4));
        QCOMPARE(file_read[0][2].value<QList<quint32>>(), read[2].value<QList<quint32>>());
    }

    // The records of the last 50 ms open the file in their order with their own stamps, then every
    // record after them: none twice, none left out. A marker sits after its record, or goes with
    // its record when that is no longer kept.
    void a_recording_begins_with_the_records_before_it()
    {
        const QString path = dir.filePath("pre.bnlog");
        pre_trigger_rig rig(path);
        QSignalSpy ready(rig.worker.get(), &rv8_worker::log_data_ready);
        rig.take(4, 60);
        rig.worker->add_log_marker(-1, QStringLiteral("gone with its record"));
        rig.take(2);
        rig.worker->add_log_marker(-1, QStringLiteral(" kept "));
        rig.take(1);
        QSignalSpy started(rig.worker.get(), &rv8_worker::log_file_started);
        rig.worker->enable_log_to_file(true);
        rig.take(2);
        rig.worker->add_log_marker(-1, QStringLiteral("while\r\nwriting"));
        rig.take(1);
        rig.worker->enable_log_to_file(false);

        const QList<rv8_frame> all = rig.samples();
        QCOMPARE(all, firsts<rv8_frame>(ready));
        QCOMPARE(static_cast<const QList<QVariantList>&>(started), (QList<QVariantList>{{path, 3}}));
        QCOMPARE(rig.marks(), (QList<unsigned int>{0, 0, 0, 0, 1, 1, 1, 1, 1, 1}));
        QCOMPARE(rig.worker->rows_in_file(), qint64(6));
        QByteArray rows = "\r\n" + rv8_frame::csv_header().toLatin1();
        for (int i = 4; i < 10; ++i) {
            rows += all[i].to_row().toLatin1();
            if (i == 5)
                rows += "# marker " + QByteArray::number(all[5].timestamp) + " kept\r\n";
            if (i == 8)
                rows += "# marker " + QByteArray::number(all[8].timestamp) + " while  writing\r\n";
        }
        const QByteArray text = read_all(path);
        QVERIFY2(text.endsWith(rows), text.right(rows.size()).constData());
    }

    // A start decided on an earlier record (a condition checked in another thread, late under load)
    // begins the span before that record, not before the newest.
    void a_late_start_keeps_the_span_before_its_record()
    {
        const QString path = dir.filePath("late.bnlog");
        pre_trigger_rig rig(path);
        rig.take(2, 60);
        rig.take(2, 60);
        rig.take(1);
        const QList<rv8_frame> all = rig.samples(); // 0, 1 | 60 ms | 2, 3 | 60 ms | 4
        rig.worker->start_log_at(all[2].timestamp);
        rig.worker->enable_log_to_file(false);
        QCOMPARE(rig.worker->rows_in_file(), qint64(3));
        QVERIFY(read_all(path).endsWith(all[2].to_row().toLatin1() + all[3].to_row().toLatin1() +
                                        all[4].to_row().toLatin1()));
    }

    void failures_stop_the_file_but_not_logging()
    {
        worker_rig rig;
        write_file(dir.filePath("plain"), "");
        const QString bad = dir.filePath("plain/run.bnlog"), path = dir.filePath("full.bnlog");
        log_capture log;
        QSignalSpy failed(rig.worker.get(), &rv8_worker::log_file_failed);
        for (const QString& name : {bad, QString()}) {
            rig.worker->set_log_file(name);
            rig.worker->enable_log_to_file(true);
        }
        QVERIFY(log.has(QtCriticalMsg, "Could not open file for writing: " + bad));
        rig.start_logging();
        rig.queue_records(1);
        rig.poll();

        rig.worker->set_log_file(path);
        rig.worker->enable_log_to_file(true);
        const int before = read_all(path).size();
        rig.queue_records(2);
        auto limit = std::make_unique<file_size_limit>(rlim_t(before) + 10);
        rig.poll();
        limit.reset();
        QVERIFY(log.has(QtCriticalMsg, "Could not write to live log file: " + path + " File too large"));
        rig.poll();
        QCOMPARE(read_all(path).size(), before + 10); // nothing after the failure
        // A new name that cannot be written while recording is reported like a failed start.
        rig.worker->set_log_file(dir.filePath("again.bnlog"));
        rig.worker->enable_log_to_file(true);
        rig.worker->set_log_file(bad);
        rig.queue_records(1);
        rig.poll();
        QCOMPARE(rig.marks(), (QList<unsigned int>{0, 0, 0, 0}));
        QVERIFY(rig.worker->is_logging());
        QCOMPARE(static_cast<const QList<QVariantList>&>(failed),
                 (QList<QVariantList>{{bad, "Not a folder: " + dir.filePath("plain")},
                                      {QString(), "No file name given"},
                                      {path, "File too large"},
                                      {bad, "Not a folder: " + dir.filePath("plain")}}));
    }

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
        rv8_worker worker;
        QFETCH(QByteArray, text);
        QFETCH(int, main_mode);
        QSignalSpy read(&worker, &rv8_worker::read_file);
        QSignalSpy parsed(&worker, &rv8_worker::parsed_log_file);
        log_capture log;
        const QString path = write(text);
        worker.parse_log_file(path);
        QTEST(firsts(worker), "firsts");
        QTEST(marks(worker), "marks");
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
    // rule gives them row by row, whichever run a gap falls at the start of. A file that cannot be
    // opened then leaves them as they are.
    void a_long_file_reads_as_a_short_one_does()
    {
        rv8_worker worker;
        QByteArray text = rv8_frame::csv_header().toLatin1();
        QList<unsigned int> values, expected_marks;
        QList<log_marker> expected_markers;
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
                expected_markers << log_marker{t, "lap " + QString::number(k)};
            }
        }
        QSignalSpy markers(&worker, &rv8_worker::markers_read), parsed(&worker, &rv8_worker::parsed_log_file);
        worker.parse_log_file(write(text));
        QCOMPARE(firsts(worker), values);
        QCOMPARE(marks(worker), expected_marks);
        QCOMPARE(markers.count(), 1);
        QCOMPARE(markers[0][0].value<QList<log_marker>>(), expected_markers);

        log_capture log;
        const QString missing = dir.filePath("missing.bnlog");
        worker.parse_log_file(missing);
        QVERIFY(log.has(QtCriticalMsg, "Could not open file for reading: " + missing) && parsed.count() == 1);
        QCOMPARE(firsts(worker), values);
    }
};

QTEST_GUILESS_MAIN(tst_log_file)
#include "tst_log_file.moc"
