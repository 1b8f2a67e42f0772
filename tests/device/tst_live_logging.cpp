#include "tests/device/tst_worker_rig.h"

using namespace wire;

class tst_live_logging : public QObject {
    Q_OBJECT

private slots:
    void start_switches_the_stream_on_once()
    {
        worker_rig rig;
        log_capture log;
        QSignalSpy started(rig.worker.get(), &rv8_worker::log_started);
        rig.worker->start_live_logging();
        rig.worker->start_live_logging();
        QCOMPARE(rig.device->writes(), QList<QByteArray>{live_on});
        QCOMPARE(started.count(), 1);
        QVERIFY(log.has(QtDebugMsg, "Logging already started"));
        QVERIFY(rig.unit().streaming());

        rig.worker->close();
        rig.device->clear_writes();
        QSignalSpy stopped(rig.worker.get(), &rv8_worker::log_stopped);
        rig.worker->start_live_logging();
        rig.worker->stop_live_logging();
        QVERIFY(log.has(QtWarningMsg, "Cannot start logging, not open"));
        QVERIFY(log.has(QtWarningMsg, "Can't stop logging, not connected"));
        QVERIFY(rig.device->writes().isEmpty());
        QCOMPARE(started.count(), 1);
        QCOMPARE(stopped.count(), 1);
    }

    void a_refused_start_switches_the_stream_off_again()
    {
        worker_rig rig;
        log_capture log;
        QSignalSpy stopped(rig.worker.get(), &rv8_worker::log_stopped);
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 5; });
        rig.worker->start_live_logging();
        QVERIFY(log.has(QtCriticalMsg, "Could not start logging"));
        QCOMPARE(stopped.count(), 1);
        QVERIFY(!rig.worker->is_logging());
        QCOMPARE(rig.device->writes(), QVector<QByteArray>(5, live_on).toList() << live_off);
    }

    void a_unit_at_full_speed_starts_cleanly()
    {
        sim_config config;
        config.live_period_ms = 0; // a record whenever the host looks
        worker_rig rig(config);
        rig.worker->start_live_logging();
        QCOMPARE(rig.device->writes(), QList<QByteArray>{live_on}); // the reply came first: no retry
        rig.poll(2);
        QCOMPARE(rig.stored(), 2);
    }

    void records_are_read_whole_and_one_per_poll()
    {
        worker_rig rig;
        rig.start_logging();
        log_capture log;
        QSignalSpy ready(rig.worker.get(), &rv8_worker::log_data_ready);
        rig.inject([](sim_unit& unit, virtual_faults& faults) {
            unit.faults().live_backlog = 3;
            faults.rx_shown = 69;
        });
        rig.poll(2);
        QCOMPARE(rig.stored(), 0);

        rig.inject([](sim_unit&, virtual_faults& faults) { faults.rx_shown = -1; });
        rig.poll();
        QVERIFY(log.has(QtDebugMsg, "Enqueued mesages: 3"));
        QCOMPARE(rig.stored(), 1);
        rig.poll(3);
        QVERIFY(log.has(QtDebugMsg, "Enqueued mesages: 2"));
        QCOMPARE(log.count("Enqueued mesages: 1"), 0); // one record is no backlog
        QCOMPARE(rig.stored(), 3);
        QCOMPARE(rig.samples(), firsts<rv8_frame>(ready));
        QVERIFY(rig.device->writes().isEmpty()); // polling only reads

        rig.worker->clear_live_logs();
        QVERIFY(rig.stored() == 0 && rig.worker->get_data(rv8_log::e_result).size() == 0 && rig.marks().isEmpty());
    }

    void a_bad_trailer_stops_at_once_and_stores_nothing()
    {
        worker_rig rig;
        rig.start_logging();
        log_capture log;
        QSignalSpy stopped(rig.worker.get(), &rv8_worker::log_stopped);
        rig.inject([](sim_unit& unit, virtual_faults&) {
            unit.faults().bad_live_trailer = true;
            unit.faults().live_backlog = 2;
        });
        rig.poll();
        QVERIFY(log.has(QtWarningMsg, "Log message not valid, stopping logging"));
        QVERIFY(log.has(QtDebugMsg, "Stop logging immediately"));
        QVERIFY(log.has(QtDebugMsg, "Log messages left in queue: 1"));
        QCOMPARE(rig.stored(), 0);
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(rig.device->writes(), QList<QByteArray>{live_off});
        QVERIFY(!rig.unit().streaming());
    }

    void stop_with_and_without_the_last_read()
    {
        for (bool immediately : {false, true}) {
            worker_rig rig;
            rig.start_logging();
            log_capture log;
            // Records sent before the unit heard the stop, hidden from this poll.
            rig.inject([](sim_unit& unit, virtual_faults& faults) {
                unit.faults().live_backlog = 3;
                faults.rx_shown = 0;
            });
            rig.poll();
            rig.inject([](sim_unit&, virtual_faults& faults) { faults.rx_shown = -1; });
            rig.worker->stop_live_logging(immediately);
            QCOMPARE(rig.stored(), immediately ? 0 : 1);
            QVERIFY(log.has(QtDebugMsg, immediately ? "Stop logging immediately"
                                                    : "Reading one more time before stopping logging"));
            QVERIFY(log.has(QtDebugMsg, QString("Log messages left in queue: %1").arg(immediately ? 3 : 2)));
            QCOMPARE(rig.device->writes(), QList<QByteArray>{live_off});
            rig.poll();
            QCOMPARE(rig.stored(), immediately ? 0 : 1); // purged
        }
    }

    void poll_failures()
    {
        worker_rig rig;
        rig.start_logging();
        log_capture log;
        rig.queue_records(2);
        rig.inject([](sim_unit&, virtual_faults& faults) { faults.fail(d2xx_call::read, FT_IO_ERROR); });
        rig.poll();
        QVERIFY(log.has(QtCriticalMsg, "Could not read from device"));
        QCOMPARE(rig.stored(), 0);
        rig.poll();
        QCOMPARE(rig.stored(), 1);

        rig.inject([](sim_unit&, virtual_faults& faults) { faults.short_reads = 1; });
        rig.queue_records(1);
        rig.poll();
        QVERIFY(log.has(QtCriticalMsg, "Did not read out the expected number of bytes: exp_bytes=70, read bytes=69"));
        QCOMPARE(rig.stored(), 1);
        QVERIFY(rig.worker->is_logging() && rig.worker->is_open());

        rig.inject([](sim_unit&, virtual_faults& faults) { faults.fail(d2xx_call::queue_status, FT_IO_ERROR); });
        rig.poll();
        QVERIFY(log.has(QtCriticalMsg, "Cannot get queue status, disconnecting"));
        QVERIFY(!rig.worker->is_open());
        QVERIFY(!rig.worker->is_logging());
    }
};

QTEST_GUILESS_MAIN(tst_live_logging)
#include "tst_live_logging.moc"
