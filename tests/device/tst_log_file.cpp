#include "live/dwell_map.h"
#include "tests/device/tst_worker_rig.h"

#include <QDateTime>
#include <cctype>
#include <climits>

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

} // namespace

// Live samples written to a live-log file and read back, and the failures a user must hear of.
class tst_log_file : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void a_written_log_holds_settings_heads_and_rows_and_parses_back_the_same()
    {
        worker_rig rig;
        QSignalSpy read(rig.worker.get(), &rv8_worker::read_data);
        rig.worker->start_read();
        const auto tables = read[0][1].value<QList<QByteArray>>();
        const auto ints = read[0][2].value<QList<quint32>>();
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            rig.worker->add_field_to_var(tables[t], table_index(t));
        for (int i = 0; i < ints.size(); ++i)
            rig.worker->add_field_to_var(ints[i], int_index(i));

        const QString path = dir.filePath("run.bnlog");
        rig.worker->vars_to_file(dir.filePath("same.bnini"));
        const QByteArray heads = read_all(dir.filePath("same.bnini")) + "[rv8_log]\r\n# Vantrel Brennix RV8-SX log " +
                                 path.toLocal8Bit() +
                                 "\r\n# Add comments in this log by starting it with a '#' character, like this line";
        rig.worker->set_log_file(path);
        rig.worker->enable_log_to_file(true);
        rig.worker->enable_log_to_file(true); // again, without a disable: nothing new
        QCOMPARE(read_all(path), heads);

        rig.start_logging();
        QSignalSpy ready(rig.worker.get(), &rv8_worker::log_data_ready);
        rig.queue_records(3);
        rig.poll(3);
        const QList<rv8_frame> written = firsts<rv8_frame>(ready);
        QByteArray text = heads + "\r\n" + rv8_frame::csv_header().toLatin1();
        for (const rv8_frame& f : written)
            text += f.to_row().toLatin1();
        QCOMPARE(read_all(path), text);
        // A new name while recording: the recording goes on in the new file, behind its own heads.
        const QString next = dir.filePath("next.bnlog");
        rig.worker->set_log_file(next);
        rig.queue_records(1);
        rig.poll();
        QByteArray next_text = read_all(dir.filePath("same.bnini")) + "[rv8_log]\r\n# Vantrel Brennix RV8-SX log " +
                               next.toLocal8Bit() + "\r\n# Add comments in this log by starting it with a '#' "
                               "character, like this line\r\n" + rv8_frame::csv_header().toLatin1() +
                               ready.last()[0].value<rv8_frame>().to_row().toLatin1();
        QCOMPARE(read_all(next), next_text);
        rig.worker->enable_log_to_file(false);
        rig.queue_records(1);
        rig.poll();
        QCOMPARE(rig.marks(), (QList<unsigned int>{1, 1, 1, 1, 0}));
        QCOMPARE(read_all(path), text);
        QCOMPARE(read_all(next), next_text);

        rig.worker->stop_live_logging(true);
        rig.worker->add_field_to_var(quint32(99), int_main_mode); // the file must bring back the unit's value
        QSignalSpy file_read(rig.worker.get(), &rv8_worker::read_file);
        rig.worker->parse_log_file(path);
        QCOMPARE(rig.samples(), written);
        QCOMPARE(rig.marks(), (QList<unsigned int>{1, 1, 1}));
        QCOMPARE(file_read.count(), 1);
        QCOMPARE(file_read[0][1].value<QList<QByteArray>>().mid(0, 4), tables.mid(0, 4));
        QCOMPARE(file_read[0][2].value<QList<quint32>>(), ints);
    }

    void a_recording_survives_pauses_and_is_never_overwritten()
    {
        worker_rig rig;
        const QString path = dir.filePath("kept.bnlog");
        rig.worker->set_log_file(path);
        rig.worker->enable_log_to_file(true);
        rig.start_logging();
        QStringList events;
        QObject::connect(rig.worker.get(), &rv8_worker::log_paused, [&](bool on) { events << (on ? "pause" : "end"); });
        QObject::connect(rig.worker.get(), &rv8_worker::log_started, [&] { events << "started"; });
        QObject::connect(rig.worker.get(), &rv8_worker::log_stopped, [&] { events << "stopped"; });
        rig.queue_records(1);
        rig.poll();
        rig.worker->set_override(tbl_main, 0x0200);
        QCOMPARE(events, QStringList({"pause", "stopped", "started", "end"}));
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 6; });
        events.clear();
        rig.worker->reset_override(tbl_main);
        QCOMPARE(events, QStringList({"pause", "stopped", "end"}));
        const QByteArray recorded = read_all(path);
        QVERIFY(recorded.endsWith(rig.samples().last().to_row().toLatin1()));

        // The same name again, as a second recording within one second would give: refused, kept.
        QSignalSpy failed(rig.worker.get(), &rv8_worker::log_file_failed);
        rig.worker->enable_log_to_file(false);
        rig.worker->enable_log_to_file(true);
        QCOMPARE(read_all(path), recorded);
        QCOMPARE(static_cast<const QList<QVariantList>&>(failed),
                 (QList<QVariantList>{{path, "The file already holds data; it was left as it was."}}));
    }

    // The records of the last 50 ms open the file in their order with their own stamps, then every
    // record after them: none twice, none left out. A marker sits after its record, or goes with
    // its record when that is no longer kept; a reader that skips comments reads the same rows.
    void a_recording_begins_with_the_records_before_it()
    {
        worker_rig rig;
        const QString path = dir.filePath("pre.bnlog");
        rig.worker->set_pre_trigger(0.05);
        rig.worker->set_log_file(path);
        rig.start_logging();
        QSignalSpy ready(rig.worker.get(), &rv8_worker::log_data_ready);
        // One record a millisecond at most, so that a marker's stamp names one record.
        const auto take = [&rig](int n) {
            for (int k = 0; k < n; ++k) {
                rig.queue_records(1);
                rig.poll();
                const qint64 t = rig.samples().last().timestamp;
                while (QDateTime::currentMSecsSinceEpoch() <= t)
                    QThread::usleep(100);
            }
        };
        take(4);
        rig.worker->add_log_marker(-1, QStringLiteral("gone with its record"));
        const qint64 old = rig.samples().last().timestamp;
        QTRY_VERIFY(QDateTime::currentMSecsSinceEpoch() > old + 60);
        take(2);
        rig.worker->add_log_marker(-1, QStringLiteral(" kept "));
        take(1);
        QSignalSpy started(rig.worker.get(), &rv8_worker::log_file_started);
        rig.worker->enable_log_to_file(true);
        take(2);
        rig.worker->add_log_marker(-1, QStringLiteral("while\r\nwriting"));
        take(1);
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

        QSignalSpy markers(rig.worker.get(), &rv8_worker::markers_read);
        rig.worker->stop_live_logging(true);
        rig.worker->parse_log_file(path);
        QCOMPARE(rig.samples(), all.mid(4));
        QCOMPARE(markers[0][0].value<QList<log_marker>>(),
                 (QList<log_marker>{{all[5].timestamp, "kept"}, {all[8].timestamp, "while  writing"}}));
        QList<rv8_frame> skipping_comments;
        for (const QByteArray& line : text.split('\n'))
            if (!line.isEmpty() && std::isdigit(quint8(line[0])))
                skipping_comments << rv8_frame(QString::fromLatin1(line.trimmed()));
        QCOMPARE(skipping_comments, all.mid(4));

        // The dwell map of the live frames and of the log that holds them is one and the same.
        dwell_axes axes;
        for (int i = 0; i < dwell_axes::size; ++i) {
            axes.rpm[size_t(i)] = 500.0 * i;
            axes.load[size_t(i)] = 64.0 * i;
        }
        dwell_source source;
        for (int c = 0; c <= 1023; ++c)
            source.load_of_counts.push_back(c);
        dwell_map live(axes, source), logged(axes, source);
        for (int i = 4; i < 10; ++i)
            live.add(all[i]);
        dwell_map::add_rows({&logged}, rig.worker->get_log(), 0, rig.stored(), LLONG_MIN, LLONG_MAX);
        QVERIFY(live == logged);
        QVERIFY(live.total_seconds() > 0);
    }

    // A start decided on an earlier record (a condition checked in another thread, late under load)
    // begins the span before that record, not before the newest.
    void a_late_start_keeps_the_span_before_its_record()
    {
        worker_rig rig;
        const QString path = dir.filePath("late.bnlog");
        rig.worker->set_pre_trigger(0.05);
        rig.worker->set_log_file(path);
        rig.start_logging();
        for (int k = 0; k < 5; ++k) {
            rig.queue_records(1);
            rig.poll();
            const qint64 t = rig.samples().last().timestamp;
            while (QDateTime::currentMSecsSinceEpoch() <= t + (k % 2 ? 60 : 0))
                QThread::usleep(100);
        }
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
};

QTEST_GUILESS_MAIN(tst_log_file)
#include "tst_log_file.moc"
