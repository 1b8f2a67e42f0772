#include "device/rv8.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QByteArray live_off = QByteArray::fromHex("C313000100D1");
const QByteArray version_query = QByteArray::fromHex("C3050001B671");
const QByteArray variant_query = QByteArray::fromHex("C3050001C106");
const QByteArray enter_bootloader = QByteArray::fromHex("C3050001C007");
}

class tst_session : public QObject {
    Q_OBJECT

private slots:
    void no_devices_emits_closed_once()
    {
        virtual_bench bench;
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.open();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(opened.count(), 0);
        QVERIFY(!worker.is_open());
    }

    void other_devices_are_not_opened()
    {
        virtual_bench bench;
        auto cable = bench.provider.add_device("USB Serial Cable", "FT0001");
        auto kirra = bench.provider.add_device("KIRRA 3 ", "FT0002"); // near miss: trailing blank
        auto lower = bench.provider.add_device("kirra 3", "FT0003");
        rv8_worker worker;
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.open();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!cable->is_open() && !kirra->is_open() && !lower->is_open());
        QVERIFY(cable->writes().isEmpty());
    }

    void the_later_of_two_units_opens()
    {
        virtual_bench bench;
        auto first = bench.add_unit("RV8FIRST");
        bench.provider.add_device("USB Serial Cable", "FT0001");
        auto second = bench.add_unit("RV8SECOND");
        log_capture log;
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        worker.open();
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), QString("RV8SECOND"));
        QVERIFY(second->is_open());
        QVERIFY(!first->is_open());
        QVERIFY(first->writes().isEmpty());
        QCOMPARE(log.count("Vantrel RV8-SX detected:"), 2);
        QVERIFY(log.has(QtDebugMsg, "  Dev 0  Serial RV8FIRST"));
        QVERIFY(log.has(QtDebugMsg, "  Dev 2  Serial RV8SECOND"));
    }

    void a_long_serial_opens_as_listed()
    {
        virtual_bench bench;
        auto device = bench.add_unit("RV8-0123456789ABCDEF");
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        worker.open();
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), QString("RV8-0123456789A")); // the list holds 15 bytes
        QVERIFY(device->is_open());
    }

    void open_silences_the_unit_then_identifies_it()
    {
        virtual_bench bench;
        sim_config config;
        config.fw_version = 0x0160;
        config.variant_byte = 0xAA;
        auto device = bench.add_unit("RV8A0001", config);
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        worker.open();
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0x0160));
        QCOMPARE(opened[0][2].value<rv8_variant>(), variant_rv8_sx);
        QCOMPARE(worker.get_fw_version(), quint16(0x0160));
        QCOMPARE(device->writes(), (QList<QByteArray>{live_off, version_query, variant_query}));
    }

    void any_other_variant_byte_is_an_rv8_s()
    {
        virtual_bench bench;
        sim_config config;
        config.variant_byte = 0xAB;
        bench.add_unit("RV8A0001", config);
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        worker.open();
        QCOMPARE(opened[0][2].value<rv8_variant>(), variant_rv8_s);
    }

    void unit_in_its_bootloader_opens_as_version_zero()
    {
        virtual_bench bench;
        sim_config config;
        config.start_in_bootloader = true;
        config.variant_byte = 0xAA;
        bench.add_unit("RV8BOOT", config);
        log_capture log;
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        worker.open(); // waits out one reply time-out
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][0].toString(), QString("RV8BOOT"));
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0));
        QCOMPARE(opened[0][2].value<rv8_variant>(), variant_rv8_s);
        QVERIFY(log.has(QtWarningMsg, "Timed out waiting for FW to respond: exp_bytes=5, bytes available=0"));
        QVERIFY(worker.is_open());
    }

    void failed_open_steps_close_with_their_message_data()
    {
        QTest::addColumn<int>("call");
        QTest::addColumn<QString>("message");
        QTest::newRow("open") << int(d2xx_call::open) << "Cannot open device, returned 4. Try again!";
        QTest::newRow("timeouts") << int(d2xx_call::set_timeouts) << "Cannot set timeouts: 4";
        QTest::newRow("latency") << int(d2xx_call::set_latency_timer) << "Could not set latency timer: 4";
    }

    void failed_open_steps_close_with_their_message()
    {
        QFETCH(int, call);
        QFETCH(QString, message);
        virtual_bench bench;
        auto device = bench.add_unit();
        configure(device, [&](sim_unit&, virtual_faults& f) { f.fail(d2xx_call(call), FT_IO_ERROR); });
        log_capture log;
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.open();
        QVERIFY(log.has(QtCriticalMsg, message));
        QCOMPARE(opened.count(), 0);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!worker.is_open());
        QVERIFY(!device->is_open());
        QVERIFY(device->writes().isEmpty());
    }

    void close_emits_closed_and_releases_the_device()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        worker.open();
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!device->is_open());
        QCOMPARE(worker.silent_close(), FT_STATUS(FT_OK)); // nothing open any more
    }

    void failed_driver_close_only_warns()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        worker.open();
        configure(device, [](sim_unit&, virtual_faults& f) { f.fail(d2xx_call::close, FT_IO_ERROR); });
        log_capture log;
        QCOMPARE(worker.silent_close(), FT_STATUS(FT_IO_ERROR));
        QVERIFY(log.contains_text("(you can probably ignore this)"));
        QVERIFY(!worker.is_open());
    }

    void reset_restarts_unit_and_bridge_and_stays_open()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        worker.open();
        device->clear_writes();
        QSignalSpy opened(&worker, &rv8_worker::opened);
        QSignalSpy closed(&worker, &rv8_worker::closed);
        log_capture log;
        worker.reset();
        QCOMPARE(device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C3050001B770")}));
        QCOMPARE(log.texts(QtDebugMsg).filter(QRegularExpression("^(Start reset|Resetting)")),
                 (QStringList{"Start reset", "Resetting RV8-SX", "Resetting FTDI"}));
        QVERIFY(worker.is_open());
        QCOMPARE(opened.count() + closed.count(), 0);
    }

    void reset_failures_only_warn()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        worker.open();
        configure(device, [](sim_unit& unit, virtual_faults& f) {
            unit.faults().corrupt_headers = 2; // the stream-off frame's reply, then the reset's
            f.fail(d2xx_call::reset_device, FT_IO_ERROR);
        });
        log_capture log;
        worker.reset();
        QVERIFY(log.has(QtWarningMsg, "Could not reset device, suggest you power-cycle the unit"));
        QVERIFY(log.has(QtWarningMsg, "Could not reset the comms device, suggest you power-cycle the unit"));
        QVERIFY(worker.is_open());
    }

    void reset_while_closed_does_nothing()
    {
        virtual_bench bench;
        rv8_worker worker;
        log_capture log;
        worker.reset();
        QCOMPARE(log.texts(), QStringList{"Start reset"});
    }

    void bootloader_entry_with_banner()
    {
        virtual_bench bench;
        sim_config config;
        config.variant_byte = 0xAA;
        auto device = bench.add_unit("RV8A0001", config);
        rv8_worker worker;
        worker.open();
        device->clear_writes();
        QSignalSpy opened(&worker, &rv8_worker::opened);
        log_capture log;
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_OK));
        QCOMPARE(device->writes(), (QList<QByteArray>{live_off, enter_bootloader}));
        QVERIFY(log.has(QtDebugMsg, "In bootloader mode"));
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0));
        QCOMPARE(opened[0][2].value<rv8_variant>(), variant_rv8_sx);
        QCOMPARE(worker.get_fw_version(), quint16(0));

        // Already there: nothing is sent.
        device->clear_writes();
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_OK));
        QVERIFY(log.has(QtDebugMsg, "Alread in bootloader mode"));
        QVERIFY(device->writes().isEmpty());
    }

    void bootloader_entry_without_banner_reidentifies()
    {
        virtual_bench bench;
        sim_config config;
        config.fw_version = 0x0150;
        auto device = bench.add_unit("RV8A0001", config);
        rv8_worker worker;
        worker.open();
        configure(device, [](sim_unit& unit, virtual_faults&) { unit.faults().banner = sim_faults::banner_fault::missing; });
        QSignalSpy opened(&worker, &rv8_worker::opened);
        log_capture log;
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_IO_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "Could not reset properly, no data from device: 0"));
        QCOMPARE(opened.count(), 0);
        QCOMPARE(worker.get_fw_version(), quint16(0x0150));

        // Some bytes, but no banner: the unit did not restart and is asked who it is again.
        configure(device, [](sim_unit& unit, virtual_faults&) {
            unit.faults().banner = sim_faults::banner_fault::missing;
            unit.faults().extra_after_command = "OK\r\n";
        });
        device->clear_writes();
        log.clear();
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_OTHER_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "Could not reset into bootloader mode. Either FW is too old (must be greater "
                                       "than v1.60) or there was a comms issue (power cycle the board)."));
        QCOMPARE(device->writes().mid(2), (QList<QByteArray>{version_query, variant_query}));
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0x0150));
    }

    void bootloader_banner_faults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("v last") << int(sim_faults::banner_fault::v_last);
        QTest::newRow("v then letter") << int(sim_faults::banner_fault::v_not_digit);
    }

    void bootloader_banner_faults()
    {
        QFETCH(int, fault);
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        worker.open();
        configure(device, [&](sim_unit& unit, virtual_faults&) { unit.faults().banner = sim_faults::banner_fault(fault); });
        QSignalSpy opened(&worker, &rv8_worker::opened);
        log_capture log;
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_OTHER_ERROR));
        QVERIFY(log.has(QtCriticalMsg, "Found a 'v' but not the actual bootloader version (this should never happen). "
                                       "Some kind of comms issue?"));
        QCOMPARE(opened.count(), 0);
        QVERIFY(worker.is_open());
    }

    void bootloader_entry_needs_an_open_link()
    {
        rv8_worker worker;
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_DEVICE_NOT_OPENED));
    }

    void device_change_events()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        QSignalSpy closed(&worker, &rv8_worker::closed);

        worker.smart_reconnect(0x8000);
        QCOMPARE(opened.count(), 1);
        worker.smart_reconnect(0x8000); // already open
        QCOMPARE(opened.count(), 1);
        worker.smart_reconnect(0x8004); // still answering: stays
        worker.smart_reconnect(0x0007);
        QCOMPARE(closed.count(), 0);
        QVERIFY(worker.is_open());

        device->set_plugged(false);
        worker.smart_reconnect(0x8004);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!worker.is_open());

        device->set_plugged(true);
        worker.smart_reconnect(0x8000);
        QCOMPARE(opened.count(), 2);
    }

    void tracing_shows_what_was_offered_and_what_arrived()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        worker.open();
        worker.set_rw_debug(true);
        configure(device, [](sim_unit&, virtual_faults& f) { f.short_writes = 1; });
        log_capture log;
        QByteArray msg = QByteArray::fromHex("C3050001B671");
        QByteArray ret;
        QCOMPARE(worker.get_param(msg, ret, 2), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(log.texts(QtDebugMsg), QStringList{"write 0xc3050001b671"});
        QTest::qWait(60); // the unit drops the partial frame once it goes stale

        configure(device, [](sim_unit&, virtual_faults& f) { f.short_reads = 1; });
        log.clear();
        QCOMPARE(worker.get_param(msg, ret, 2), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(log.texts(QtDebugMsg), (QStringList{"write 0xc3050001b671", "read  0x3c05fa01"}));

        worker.set_rw_debug(false);
        log.clear();
        QCOMPARE(worker.get_param(msg, ret, 2), FT_STATUS(FT_OK));
        QVERIFY(log.texts(QtDebugMsg).isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_session)
#include "tst_session.moc"
