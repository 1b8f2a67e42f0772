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
        QVERIFY(log.has(QtDebugMsg, "Logging already started") && rig.unit().streaming());

        rig.worker->close();
        rig.device->clear_writes();
        QSignalSpy stopped(rig.worker.get(), &rv8_worker::log_stopped);
        rig.worker->start_live_logging();
        rig.worker->stop_live_logging();
        QCOMPARE(log.texts(QtWarningMsg),
                 (QStringList{"Cannot start logging, not open", "Can't stop logging, not connected"}));
        QVERIFY(rig.device->writes().isEmpty() && started.count() == 1 && stopped.count() == 1);

        // A refused start switches the stream off again.
        rig.worker->open();
        rig.device->clear_writes();
        stopped.clear();
        rig.inject([](sim_unit& unit, virtual_faults&) { unit.faults().corrupt_headers = 5; });
        rig.worker->start_live_logging();
        QCOMPARE(rig.device->writes(), QVector<QByteArray>(5, live_on).toList() << live_off);
        QVERIFY(log.has(QtCriticalMsg, "Could not start logging") && !rig.worker->is_logging());
        QVERIFY(started.count() == 1 && stopped.count() == 1);
    }

    void records_are_read_whole_and_one_per_poll()
    {
        worker_rig rig;
        rig.start_logging();
        log_capture log;
        QSignalSpy ready(rig.worker.get(), &rv8_worker::log_data_ready);
        rig.queue_records(3);
        rig.show_bytes(69);
        rig.poll(2);
        QCOMPARE(rig.stored(), 0);
        rig.show_bytes(-1);
        rig.poll();
        QCOMPARE(rig.stored(), 1);
        rig.poll(3);
        QCOMPARE(rig.stored(), 3);
        // One record is no backlog.
        QCOMPARE(log.texts(), (QStringList{"Enqueued mesages: 3", "Enqueued mesages: 2"}));
        QCOMPARE(rig.samples(), firsts<rv8_frame>(ready));
        QVERIFY(rig.device->writes().isEmpty()); // polling only reads

        rig.worker->clear_live_logs();
        QVERIFY(rig.stored() == 0 && rig.worker->get_data(rv8_log::e_result).size() == 0 && rig.marks().isEmpty());
    }

    void stops_data()
    {
        QTest::addColumn<bool>("bad_trailer");
        QTest::addColumn<int>("how"); // 0: a poll, 1: a stop after a last read, 2: a stop at once
        QTest::addColumn<QString>("messages");
        QTest::addColumn<int>("stored");
        QTest::newRow("bad trailer") << true << 0 << "Enqueued mesages: 2 | Log message not valid, stopping logging | "
                                                     "Stop logging immediately | Log messages left in queue: 1" << 0;
        QTest::newRow("last read") << false << 1 << "Reading one more time before stopping logging | "
                                                    "Enqueued mesages: 3 | Log messages left in queue: 2" << 1;
        QTest::newRow("at once") << false << 2 << "Stop logging immediately | Log messages left in queue: 3" << 0;
    }

    void stops()
    {
        QFETCH(bool, bad_trailer);
        QFETCH(int, how);
        worker_rig rig;
        rig.start_logging();
        QSignalSpy stopped(rig.worker.get(), &rv8_worker::log_stopped);
        // Records sent before the unit heard the stop, hidden from the first poll.
        rig.inject([bad_trailer](sim_unit& unit, virtual_faults&) { unit.faults().bad_live_trailer = bad_trailer; });
        rig.queue_records(bad_trailer ? 2 : 3);
        rig.show_bytes(0);
        rig.poll();
        rig.show_bytes(-1);
        log_capture log;
        how ? rig.worker->stop_live_logging(how == 2) : rig.poll();
        QTEST(log.texts().join(" | "), "messages");
        QTEST(rig.stored(), "stored");
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(rig.device->writes(), QList<QByteArray>{live_off});
        rig.poll();
        QTEST(rig.stored(), "stored"); // the rest purged
    }

    // Records still on their way when the stream goes off land before the write's purge, never
    // after it where they would pass for its reply: one frame each way and its read-back, no retry.
    void a_write_after_a_stop_takes_no_late_record_for_its_reply()
    {
        worker_rig rig(1); // a record a millisecond: some are always in transit
        rig.start_logging();
        rig.queue_records(40);
        QSignalSpy wrote(rig.worker.get(), &rv8_worker::wrote_data);
        rig.worker->add_field_to_var(quint32(0x0123), int_pump_prime_delay);
        log_capture log;
        rig.worker->start_write();
        QCOMPARE(firsts<FT_STATUS>(wrote), QList<FT_STATUS>{FT_OK});
        QVERIFY2(log.texts(QtWarningMsg).isEmpty(), qPrintable(log.texts(QtWarningMsg).join(" | ")));
        QCOMPARE(rig.device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C3070003012322C7"),
                                                          QByteArray::fromHex("C3050001BB7C"), live_on})); // read back
        QVERIFY(rig.worker->is_logging());
    }
};

QTEST_GUILESS_MAIN(tst_live_logging)
#include "tst_live_logging.moc"
