#include "device/rv8.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QByteArray live_on = QByteArray::fromHex("C31300015584");
const QByteArray live_off = QByteArray::fromHex("C313000100D1");
}

// Live logging in this thread against a unit that sends records only when told to, so each poll
// (called directly, the timer never gets to run) sees exactly the queue the case sets up.
class tst_live_logging : public QObject {
    Q_OBJECT

    virtual_bench* bench = nullptr;
    std::shared_ptr<virtual_device> device;
    rv8_worker* worker = nullptr;

    template <typename F>
    void inject(F&& f) { configure(device, std::forward<F>(f)); }

    void queue_records(int n)
    {
        inject([n](sim_unit& unit, virtual_faults&) { unit.faults().live_backlog = n; });
    }

    void poll()
    {
        QVERIFY(QMetaObject::invokeMethod(worker, "check_log_data", Qt::DirectConnection));
    }

    int stored() const { return worker->get_timestamps().size(); }

    QList<unsigned int> marks() const
    {
        QList<unsigned int> all;
        for (int i = 0; i < worker->get_file_marks().size(); ++i)
            all << worker->get_file_marks().value(i);
        return all;
    }

    void start()
    {
        worker->start_live_logging();
        QVERIFY(worker->is_logging());
        device->clear_writes();
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
        device->clear_writes();
    }

    void cleanup()
    {
        delete worker;
        device.reset();
        delete bench;
    }

    void start_switches_the_stream_on_once()
    {
        log_capture log;
        QSignalSpy started(worker, &rv8_worker::log_started);
        worker->start_live_logging();
        QCOMPARE(device->writes(), QList<QByteArray>{live_on});
        QCOMPARE(started.count(), 1);
        QVERIFY(worker->is_logging());
        QVERIFY(bench->unit().streaming());

        worker->start_live_logging();
        QVERIFY(log.has(QtDebugMsg, "Logging already started"));
        QCOMPARE(device->writes().size(), 1);
        QCOMPARE(started.count(), 1);

        worker->close();
        device->clear_writes();
        worker->start_live_logging();
        QVERIFY(log.has(QtWarningMsg, "Cannot start logging, not open"));
        QVERIFY(device->writes().isEmpty());
        QCOMPARE(started.count(), 1);
        QVERIFY(!worker->is_logging());
    }

    void a_unit_at_full_speed_starts_cleanly()
    {
        virtual_bench fast_bench;
        sim_config config;
        config.live_period_ms = 0; // a record whenever the host looks
        auto fast = fast_bench.add_unit("RV8FAST", config);
        worker->close();
        worker->open(); // the later unit in the list
        fast->clear_writes();
        QSignalSpy ready(worker, &rv8_worker::log_data_ready);
        worker->start_live_logging();
        QCOMPARE(fast->writes(), QList<QByteArray>{live_on}); // the reply came first: no retry
        QVERIFY(worker->is_logging());
        poll();
        poll();
        QCOMPARE(ready.count(), 2);
        worker->close(); // before the unit's bench goes
    }

    void a_refused_start_switches_the_stream_off_again()
    {
        log_capture log;
        QSignalSpy started(worker, &rv8_worker::log_started);
        QSignalSpy stopped(worker, &rv8_worker::log_stopped);
        inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 5; });
        worker->start_live_logging();
        QVERIFY(log.has(QtCriticalMsg, "Could not start logging"));
        QVERIFY(log.has(QtDebugMsg, "Stop logging immediately"));
        QCOMPARE(started.count(), 0);
        QCOMPARE(stopped.count(), 1);
        QVERIFY(!worker->is_logging());
        QCOMPARE(device->writes().size(), 6);
        QCOMPARE(device->writes().last(), live_off);
    }

    void a_record_is_read_only_when_whole()
    {
        start();
        QSignalSpy ready(worker, &rv8_worker::log_data_ready);
        inject([](sim_unit& unit, virtual_faults& faults) {
            unit.faults().live_backlog = 1;
            faults.rx_shown = 69;
        });
        poll();
        poll();
        QCOMPARE(stored(), 0);
        QCOMPARE(ready.count(), 0);

        inject([](sim_unit&, virtual_faults& faults) { faults.rx_shown = -1; });
        poll();
        QCOMPARE(stored(), 1);
        QCOMPARE(ready.count(), 1);
        const rv8_frame frame = ready[0][0].value<rv8_frame>();
        QCOMPARE(worker->get_timestamps().value(0), frame.timestamp);
        QCOMPARE(worker->get_data(rv8_log::e_rpm).value(0), unsigned(frame.rpm));
        QVERIFY(qAbs(int(frame.batt_adc) - 748) < 20); // 13.8 V
        QCOMPARE(marks(), QList<unsigned int>{0});
        QVERIFY(device->writes().isEmpty()); // polling only reads

        worker->clear_live_logs();
        QCOMPARE(stored(), 0);
        QCOMPARE(worker->get_data(rv8_log::e_result).size(), 0);
        QVERIFY(marks().isEmpty());
    }

    void a_backlog_drains_one_record_per_poll()
    {
        start();
        log_capture log;
        queue_records(3);
        poll();
        QCOMPARE(stored(), 1);
        QVERIFY(log.has(QtDebugMsg, "Enqueued mesages: 3"));
        poll();
        QVERIFY(log.has(QtDebugMsg, "Enqueued mesages: 2"));
        poll();
        QCOMPARE(log.count("Enqueued mesages: 1"), 0); // a single record is no backlog
        poll();
        QCOMPARE(stored(), 3);
        QCOMPARE(marks(), (QList<unsigned int>{0, 0, 0}));
    }

    void a_bad_trailer_stops_at_once_and_stores_nothing()
    {
        start();
        log_capture log;
        QSignalSpy stopped(worker, &rv8_worker::log_stopped);
        QSignalSpy ready(worker, &rv8_worker::log_data_ready);
        inject([](sim_unit& unit, virtual_faults&) {
            unit.faults().bad_live_trailer = true;
            unit.faults().live_backlog = 2;
        });
        poll();
        QVERIFY(log.has(QtWarningMsg, "Log message not valid, stopping logging"));
        QVERIFY(log.has(QtDebugMsg, "Stop logging immediately"));
        QVERIFY(!log.contains_text("Reading one more time"));
        QVERIFY(log.has(QtDebugMsg, "Log messages left in queue: 1"));
        QCOMPARE(stored(), 0);
        QCOMPARE(ready.count(), 0);
        QCOMPARE(stopped.count(), 1);
        QVERIFY(!worker->is_logging());
        QCOMPARE(device->writes(), QList<QByteArray>{live_off});
        QVERIFY(!bench->unit().streaming());
    }

    void stop_reads_one_more_record_then_purges_the_rest()
    {
        start();
        log_capture log;
        QSignalSpy stopped(worker, &rv8_worker::log_stopped);
        queue_records(3);
        worker->stop_live_logging();
        QCOMPARE(stopped.count(), 1);
        QVERIFY(log.has(QtDebugMsg, "Reading one more time before stopping logging"));
        QCOMPARE(stored(), 1);
        QVERIFY(log.has(QtDebugMsg, "Log messages left in queue: 2"));
        QCOMPARE(device->writes(), QList<QByteArray>{live_off});
        poll();
        QCOMPARE(stored(), 1); // purged
    }

    void stop_immediately_leaves_every_record_unread()
    {
        start();
        log_capture log;
        // Records the unit sent before it heard the stop, still hidden from this poll.
        inject([](sim_unit& unit, virtual_faults& faults) {
            unit.faults().live_backlog = 3;
            faults.rx_shown = 0;
        });
        poll();
        inject([](sim_unit&, virtual_faults& faults) { faults.rx_shown = -1; });
        worker->stop_live_logging(true);
        QCOMPARE(stored(), 0);
        QVERIFY(log.has(QtDebugMsg, "Stop logging immediately"));
        QVERIFY(log.has(QtDebugMsg, "Log messages left in queue: 3"));
        poll();
        QCOMPARE(stored(), 0);
    }

    void stop_while_closed_still_signals()
    {
        start();
        worker->close();
        QVERIFY(!worker->is_logging());
        log_capture log;
        QSignalSpy stopped(worker, &rv8_worker::log_stopped);
        worker->stop_live_logging();
        QCOMPARE(stopped.count(), 1);
        QVERIFY(log.has(QtWarningMsg, "Can't stop logging, not connected"));
    }

    void a_transfer_pauses_and_resumes_logging()
    {
        start();
        QSignalSpy started(worker, &rv8_worker::log_started);
        QSignalSpy stopped(worker, &rv8_worker::log_stopped);
        QSignalSpy read(worker, &rv8_worker::read_data);
        queue_records(2);
        worker->start_read();
        QCOMPARE(read.count(), 1);
        QCOMPARE(read[0][0].value<FT_STATUS>(), FT_STATUS(FT_OK));
        QCOMPARE(stored(), 1); // the last read of the pause
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(started.count(), 1);
        QVERIFY(worker->is_logging());
        const QList<QByteArray> writes = device->writes();
        QCOMPARE(writes.first(), live_off);
        QCOMPARE(writes.last(), live_on);
        QCOMPARE(writes.size(), 1 + 10 + 1); // off, ten reads, on
        QVERIFY(bench->unit().streaming());

        queue_records(1);
        poll();
        QCOMPARE(stored(), 2);
    }

    void poll_failures()
    {
        start();
        log_capture log;
        queue_records(2);
        inject([](sim_unit&, virtual_faults& faults) { faults.fail(d2xx_call::read, FT_IO_ERROR); });
        poll();
        QVERIFY(log.has(QtCriticalMsg, "Could not read from device"));
        QVERIFY(worker->is_open());
        QVERIFY(worker->is_logging());
        QCOMPARE(stored(), 0);
        poll();
        QCOMPARE(stored(), 1);

        inject([](sim_unit&, virtual_faults& faults) { faults.short_reads = 1; });
        queue_records(1);
        poll();
        QVERIFY(log.has(QtCriticalMsg, "Did not read out the expected number of bytes: exp_bytes=70, read bytes=69"));
        QCOMPARE(stored(), 1);
        QVERIFY(worker->is_logging());

        QSignalSpy closed(worker, &rv8_worker::closed);
        inject([](sim_unit&, virtual_faults& faults) { faults.fail(d2xx_call::queue_status, FT_IO_ERROR); });
        poll();
        QVERIFY(log.has(QtCriticalMsg, "Cannot get queue status, disconnecting"));
        QCOMPARE(closed.count(), 1);
        QVERIFY(!worker->is_open());
        QVERIFY(!worker->is_logging());
    }
};

QTEST_GUILESS_MAIN(tst_live_logging)
#include "tst_live_logging.moc"
