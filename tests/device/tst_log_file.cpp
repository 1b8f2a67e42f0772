#include "device/rv8.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray heads_after_settings(const QString& path)
{
    return "[rv8_log]\r\n# Vantrel Brennix RV8-SX log " + path.toLocal8Bit() +
           "\r\n# Add comments in this log by starting it with a '#' character, like this line";
}

QByteArray read_all(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Lets the process write this much more to any file; writes past it fail with "File too large".
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~file_size_limit() { setrlimit(RLIMIT_FSIZE, &saved); }

private:
    rlimit saved;
};

} // namespace

// Writing live samples to a live-log file, read back with parse_log_file, and the failures a user
// must hear about.
class tst_log_file : public QObject {
    Q_OBJECT

    virtual_bench* bench = nullptr;
    std::shared_ptr<virtual_device> device;
    rv8_worker* worker = nullptr;
    QTemporaryDir* dir = nullptr;

    void queue_records(int n)
    {
        configure(device, [n](sim_unit& unit, virtual_faults&) { unit.faults().live_backlog = n; });
    }

    void poll(int times = 1)
    {
        for (int k = 0; k < times; ++k)
            QVERIFY(QMetaObject::invokeMethod(worker, "check_log_data", Qt::DirectConnection));
    }

    QList<unsigned int> marks() const
    {
        QList<unsigned int> all;
        for (int i = 0; i < worker->get_file_marks().size(); ++i)
            all << worker->get_file_marks().value(i);
        return all;
    }

    QList<rv8_frame> frames(const QSignalSpy& spy) const
    {
        QList<rv8_frame> all;
        for (const auto& args : spy)
            all << args[0].value<rv8_frame>();
        return all;
    }

    QList<rv8_frame> stored() const
    {
        QList<rv8_frame> all;
        for (int i = 0; i < worker->get_timestamps().size(); ++i) {
            std::array<quint32, rv8_frame::value_count> values;
            for (int e = 0; e < rv8_frame::value_count; ++e)
                values[size_t(e)] = worker->get_data(rv8_log::e_data(e)).value(i);
            all << rv8_frame(worker->get_timestamps().value(i), values);
        }
        return all;
    }

private slots:
    void initTestCase() { register_model_meta_types(); }

    void init()
    {
        bench = new virtual_bench;
        sim_config config;
        config.live_period_ms = 1e9;
        device = bench->add_unit("RV8A0001", config);
        worker = new rv8_worker;
        worker->open();
        QVERIFY(worker->is_open());
        dir = new QTemporaryDir;
    }

    void cleanup()
    {
        delete worker;
        device.reset();
        delete bench;
        delete dir;
    }

    void the_file_holds_settings_heads_and_one_row_per_sample()
    {
        const QString path = dir->filePath("run.bnlog");
        const QString settings_only = dir->filePath("same.bnini");
        worker->add_field_to_var(quint32(4), int_gpo1_mode);
        worker->vars_to_file(settings_only);
        const QByteArray settings = read_all(settings_only);
        QVERIFY(settings.startsWith("[rv8_vars]"));

        worker->set_log_file(path);
        worker->enable_log_to_file(true);
        QCOMPARE(read_all(path), settings + heads_after_settings(path));

        worker->enable_log_to_file(true); // again, without a disable: nothing new
        QCOMPARE(read_all(path), settings + heads_after_settings(path));

        worker->start_live_logging();
        QSignalSpy ready(worker, &rv8_worker::log_data_ready);
        queue_records(2);
        poll(2);
        const QList<rv8_frame> sent = frames(ready);
        QCOMPARE(sent.size(), 2);
        const QByteArray rows = (sent[0].to_row() + sent[1].to_row()).toLatin1();
        QCOMPARE(read_all(path),
                 settings + heads_after_settings(path) + "\r\n" + rv8_frame::csv_header().toLatin1() + rows);
        QCOMPARE(marks(), (QList<unsigned int>{1, 1}));

        worker->enable_log_to_file(false);
        queue_records(1);
        poll();
        QCOMPARE(marks(), (QList<unsigned int>{1, 1, 0}));
        QVERIFY(read_all(path).endsWith(rows));
    }

    void a_written_log_parses_back_to_the_same_samples_and_settings()
    {
        QSignalSpy read(worker, &rv8_worker::read_data);
        worker->start_read();
        QCOMPARE(read[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        const auto tables = read[0][1].value<QList<QByteArray>>();
        const auto ints = read[0][2].value<QList<quint32>>();
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            worker->add_field_to_var(tables[t], table_index(t));
        for (int i : {int_rpm_scaler, int_pump_prime_delay, int_main_mode, int_gpi2_deact_delay, int_active_atm})
            worker->add_field_to_var(ints[i], int_index(i));

        const QString path = dir->filePath("trip.bnlog");
        worker->set_log_file(path);
        worker->enable_log_to_file(true);
        worker->start_live_logging();
        QSignalSpy ready(worker, &rv8_worker::log_data_ready);
        queue_records(5);
        poll(5);
        worker->stop_live_logging(true);
        worker->enable_log_to_file(false);
        const QList<rv8_frame> sent = frames(ready);
        QCOMPARE(sent.size(), 5);

        worker->clear_live_logs();
        // A different model state first, so the settings must really come from the file.
        worker->add_field_to_var(quint32(99), int_main_mode);
        QSignalSpy file_read(worker, &rv8_worker::read_file);
        QSignalSpy parsed(worker, &rv8_worker::parsed_log_file);
        log_capture log;
        worker->parse_log_file(path);
        QCOMPARE(parsed.count(), 1);
        QCOMPARE(stored(), sent);
        QCOMPARE(file_read.count(), 1);
        QCOMPARE(file_read[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        const auto tables_back = file_read[0][1].value<QList<QByteArray>>();
        const auto ints_back = file_read[0][2].value<QList<quint32>>();
        for (int t = tbl_aux; t <= tbl_gpo2; ++t)
            QCOMPARE(tables_back[t], tables[t]);
        for (int i : {int_rpm_scaler, int_pump_prime_delay, int_main_mode, int_gpi2_deact_delay, int_active_atm})
            QCOMPARE(ints_back[i], ints[i]);
        QVERIFY(log.has(QtDebugMsg, "Parsed file " + path + " with 5 lines."));
        // Five records polled back to back are well under 51 ms apart.
        QCOMPARE(marks(), (QList<unsigned int>{1, 1, 1, 1, 1}));
    }

    void a_file_that_cannot_be_started_is_reported()
    {
        QFile plain(dir->filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString path = dir->filePath("plain/run.bnlog");
        log_capture log;
        QSignalSpy failed(worker, &rv8_worker::log_file_failed);
        worker->set_log_file(path);
        worker->enable_log_to_file(true);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed[0][0].toString(), path);
        QCOMPARE(failed[0][1].toString(), "Not a folder: " + dir->filePath("plain"));
        QVERIFY(log.has(QtCriticalMsg, "Could not open file for writing: " + path));

        worker->start_live_logging();
        queue_records(1);
        poll();
        QCOMPARE(marks(), QList<unsigned int>{0});
        QVERIFY(worker->is_logging());

        worker->set_log_file(QString());
        worker->enable_log_to_file(true);
        QCOMPARE(failed.count(), 2);
        QCOMPARE(failed[1][0].toString(), QString());
        QCOMPARE(failed[1][1].toString(), QString("No file name given"));
    }

    void a_write_error_stops_the_file_but_not_logging()
    {
        const QString path = dir->filePath("full.bnlog");
        worker->set_log_file(path);
        worker->enable_log_to_file(true);
        const QByteArray before = read_all(path);
        worker->start_live_logging();
        log_capture log;
        QSignalSpy failed(worker, &rv8_worker::log_file_failed);
        QSignalSpy ready(worker, &rv8_worker::log_data_ready);
        {
            file_size_limit limit(rlim_t(before.size()) + 10);
            queue_records(2);
            poll();
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed[0][0].toString(), path);
        QCOMPARE(failed[0][1].toString(), QString("File too large"));
        QVERIFY(log.has(QtCriticalMsg, "Could not write to live log file: " + path + " File too large"));
        QCOMPARE(ready.count(), 1);
        QCOMPARE(marks(), QList<unsigned int>{0});

        poll();
        QCOMPARE(ready.count(), 2);
        QCOMPARE(marks(), (QList<unsigned int>{0, 0}));
        QVERIFY(worker->is_logging());
        QCOMPARE(failed.count(), 1);
        QCOMPARE(read_all(path).size(), before.size() + 10); // nothing after the failure
    }
};

QTEST_GUILESS_MAIN(tst_log_file)
#include "tst_log_file.moc"
