#include "device/rv8.h"
#include "tests/device/virtual_bench.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QByteArray live_off = QByteArray::fromHex("C313000100D1");
const QByteArray version_query = QByteArray::fromHex("C3050001B671");
const QByteArray variant_query = QByteArray::fromHex("C3050001C106");
using banner_fault = sim_faults::banner_fault;
}

class tst_session : public QObject {
    Q_OBJECT

    // Opens a worker on the bench's units; returns the serials it announced.
    static QStringList open_on(virtual_bench&, rv8_worker& worker, int* closed_count = nullptr)
    {
        QSignalSpy opened(&worker, &rv8_worker::opened);
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.open();
        if (closed_count)
            *closed_count = closed.count();
        QStringList serials;
        for (const auto& args : opened)
            serials << args[0].toString();
        return serials;
    }

private slots:
    void finding_the_unit()
    {
        int closed = 0;
        {
            virtual_bench bench;
            rv8_worker worker;
            QCOMPARE(open_on(bench, worker, &closed), QStringList());
            QCOMPARE(closed, 1);
        }
        {
            virtual_bench bench;
            auto other = bench.provider.add_device("USB Serial Cable", "FT0001");
            bench.provider.add_device("KIRRA 3 ", "FT0002");
            bench.provider.add_device("kirra 3", "FT0003");
            rv8_worker worker;
            QCOMPARE(open_on(bench, worker, &closed), QStringList());
            QCOMPARE(closed, 1);
            QVERIFY(!other->is_open() && other->writes().isEmpty());
        }
        {
            virtual_bench bench;
            auto first = bench.add_unit("RV8FIRST");
            bench.provider.add_device("USB Serial Cable", "FT0001");
            auto second = bench.add_unit("RV8SECOND");
            log_capture log;
            rv8_worker worker;
            QCOMPARE(open_on(bench, worker), QStringList{"RV8SECOND"});
            QVERIFY(second->is_open() && !first->is_open() && first->writes().isEmpty());
            QCOMPARE(log.count("Vantrel RV8-SX detected:"), 2);
            QVERIFY(log.has(QtDebugMsg, "  Dev 0  Serial RV8FIRST"));
            QVERIFY(log.has(QtDebugMsg, "  Dev 2  Serial RV8SECOND"));
        }
        {
            // A device that turned up after the count (someone listed again in between) stays out of
            // the caller's buffer.
            virtual_bench bench;
            bench.add_unit("RV8A0001");
            DWORD count = 0, again = 0;
            QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
            bench.add_unit("RV8A0002");
            QCOMPARE(FT_CreateDeviceInfoList(&again), FT_OK);
            FT_DEVICE_LIST_INFO_NODE nodes[2] {};
            nodes[1].Flags = 0xDEAD;
            QCOMPARE(FT_GetDeviceInfoList(nodes, &count), FT_OK);
            QCOMPARE(QString("%1 %2 %3").arg(count).arg(again).arg(nodes[1].Flags, 0, 16) + nodes[0].SerialNumber,
                     QString("1 2 deadRV8A0001"));
        }
        {
            virtual_bench bench;
            auto device = bench.add_unit("RV8-0123456789ABCDEF");
            rv8_worker worker;
            QCOMPARE(open_on(bench, worker), QStringList{"RV8-0123456789A"}); // the list holds 15 bytes
            QVERIFY(device->is_open());
        }
    }

    void identity_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("variant_byte");
        QTest::addColumn<int>("variant");
        QTest::newRow("1.60 SX") << 0x0160 << 0xAA << int(variant_rv8_sx);
        QTest::newRow("1.75 S") << 0x0175 << 0xAB << int(variant_rv8_s);
    }

    void identity()
    {
        QFETCH(int, version);
        QFETCH(int, variant_byte);
        QFETCH(int, variant);
        virtual_bench bench;
        sim_config config;
        config.fw_version = quint16(version);
        config.variant_byte = quint8(variant_byte);
        auto device = bench.add_unit("RV8A0001", config);
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        worker.open();
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].value<quint16>(), quint16(version));
        QCOMPARE(opened[0][2].value<rv8_variant>(), rv8_variant(variant));
        // A unit left streaming is silenced before it is asked anything.
        QCOMPARE(device->writes(), (QList<QByteArray>{live_off, version_query, variant_query}));
    }

    void unit_in_its_bootloader_opens_as_version_zero()
    {
        virtual_bench bench;
        sim_config config;
        config.start_in_bootloader = true;
        bench.add_unit("RV8BOOT", config);
        log_capture log;
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        worker.open(); // waits out one reply time-out
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0));
        QCOMPARE(opened[0][2].value<rv8_variant>(), variant_rv8_s);
        QVERIFY(log.has(QtWarningMsg, "Timed out waiting for FW to respond: exp_bytes=5, bytes available=0"));
        QVERIFY(worker.is_open());
    }

    // Pulled out before or during the identity query: the link closes once and no unit is announced.
    void unit_lost_while_connecting_is_no_connection()
    {
        for (const QByteArray& at : {live_off, version_query, variant_query}) {
            virtual_bench bench;
            auto device = bench.add_unit();
            configure(device, [&](sim_unit&, virtual_faults& f) {
                f.strike_on = at;
                f.strike = [](sim_unit*, virtual_faults& now) { now.unplugged = true; };
            });
            rv8_worker worker;
            int closed = 0;
            QCOMPARE(open_on(bench, worker, &closed), QStringList());
            QCOMPARE(closed, 1);
            QVERIFY(!worker.is_open() && !device->is_open());
        }
    }

    void failed_open_steps_close_data()
    {
        QTest::addColumn<int>("call");
        QTest::addColumn<QString>("message");
        QTest::newRow("open") << int(d2xx_call::open) << "Cannot open device, returned 4. Try again!";
        QTest::newRow("timeouts") << int(d2xx_call::set_timeouts) << "Cannot set timeouts: 4";
        QTest::newRow("latency") << int(d2xx_call::set_latency_timer) << "Could not set latency timer: 4";
    }

    void failed_open_steps_close()
    {
        QFETCH(int, call);
        QFETCH(QString, message);
        virtual_bench bench;
        auto device = bench.add_unit();
        configure(device, [&](sim_unit&, virtual_faults& f) { f.fail(d2xx_call(call), FT_IO_ERROR); });
        log_capture log;
        rv8_worker worker;
        int closed = 0;
        QCOMPARE(open_on(bench, worker, &closed), QStringList());
        QCOMPARE(closed, 1);
        QVERIFY(log.has(QtCriticalMsg, message));
        QVERIFY(!worker.is_open() && !device->is_open());
        QVERIFY(device->writes().isEmpty());
    }

    void closing()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        worker.open();
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!device->is_open());
        QCOMPARE(worker.silent_close(), FT_STATUS(FT_OK));

        worker.open();
        configure(device, [](sim_unit&, virtual_faults& f) { f.fail(d2xx_call::close, FT_IO_ERROR); });
        log_capture log;
        QCOMPARE(worker.silent_close(), FT_STATUS(FT_IO_ERROR));
        QVERIFY(log.contains_text("(you can probably ignore this)"));
        QVERIFY(!worker.is_open());
    }

    void reset()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        log_capture log;
        worker.reset();
        QCOMPARE(log.texts(), QStringList{"Start reset"}); // nothing open, nothing done

        worker.open();
        device->clear_writes();
        log.clear();
        QSignalSpy opened(&worker, &rv8_worker::opened);
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.reset();
        QCOMPARE(device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C3050001B770")}));
        QCOMPARE(log.texts(QtDebugMsg).filter(QRegularExpression("^(Start reset|Resetting)")),
                 (QStringList{"Start reset", "Resetting RV8-SX", "Resetting FTDI"}));
        QVERIFY(log.texts(QtWarningMsg).isEmpty());
        QVERIFY(worker.is_open());
        QCOMPARE(opened.count() + closed.count(), 0);

        configure(device, [](sim_unit& unit, virtual_faults& f) {
            unit.faults().corrupt_headers = 2; // the stream-off frame's reply, then the reset's
            f.fail(d2xx_call::reset_device, FT_IO_ERROR);
        });
        worker.reset();
        QCOMPARE(log.texts(QtWarningMsg), (QStringList{"Could not reset device, suggest you power-cycle the unit",
                                                       "Could not reset the comms device, suggest you power-cycle the unit"}));
        QVERIFY(worker.is_open());

        // Unplugged: the reset finds the link gone on its way, closes it once and says nothing wrong
        // about a reset it could not try; a reset on the closed link does nothing at all.
        device->set_plugged(false);
        log.clear();
        worker.reset();
        worker.reset();
        QCOMPARE(log.texts(QtWarningMsg), QStringList());
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"Cannot write msg c313000100",
                                                        "Cannot purge Rx/Tx buffers, disconnecting"}));
        QCOMPARE(closed.count(), 1);
    }

    void bootloader_entry_with_banner()
    {
        virtual_bench bench;
        sim_config config;
        config.variant_byte = 0xAA;
        auto device = bench.add_unit("RV8A0001", config);
        rv8_worker worker;
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_DEVICE_NOT_OPENED));
        worker.open();
        device->clear_writes();
        QSignalSpy opened(&worker, &rv8_worker::opened);
        log_capture log;
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_OK));
        QCOMPARE(device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C3050001C007")}));
        QVERIFY(log.has(QtDebugMsg, "In bootloader mode"));
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].value<quint16>(), quint16(0));
        QCOMPARE(opened[0][2].value<rv8_variant>(), variant_rv8_sx);

        device->clear_writes(); // already there: nothing is sent
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(FT_OK));
        QVERIFY(log.has(QtDebugMsg, "Alread in bootloader mode"));
        QVERIFY(device->writes().isEmpty());
    }

    void bootloader_entry_faults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("stray");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("reidentified");
        const QString v_only = "Found a 'v' but not the actual bootloader version (this should never happen). "
                               "Some kind of comms issue?";
        QTest::newRow("silence") << int(banner_fault::missing) << QByteArray() << 4
                                 << "Could not reset properly, no data from device: 0" << false;
        QTest::newRow("no banner") << int(banner_fault::missing) << QByteArray("OK\r\n") << 18
                                   << "Could not reset into bootloader mode. Either FW is too old (must be greater "
                                      "than v1.60) or there was a comms issue (power cycle the board)."
                                   << true;
        QTest::newRow("v last") << int(banner_fault::v_last) << QByteArray() << 18 << v_only << false;
        QTest::newRow("v then letter") << int(banner_fault::v_not_digit) << QByteArray() << 18 << v_only << false;
    }

    void bootloader_entry_faults()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, stray);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(bool, reidentified);
        virtual_bench bench;
        sim_config config;
        config.fw_version = 0x0150;
        auto device = bench.add_unit("RV8A0001", config);
        rv8_worker worker;
        worker.open();
        configure(device, [&](sim_unit& unit, virtual_faults&) {
            unit.faults().banner = banner_fault(fault);
            unit.faults().extra_after_command = stray;
        });
        device->clear_writes();
        QSignalSpy opened(&worker, &rv8_worker::opened);
        log_capture log;
        QCOMPARE(worker.reset_into_bootloader(), FT_STATUS(status));
        QVERIFY2(log.has(QtCriticalMsg, message), qPrintable(log.texts().join(" | ")));
        QCOMPARE(opened.count(), reidentified ? 1 : 0);
        QCOMPARE(device->writes().mid(2), reidentified ? (QList<QByteArray>{version_query, variant_query})
                                                       : QList<QByteArray>());
        QCOMPARE(worker.get_fw_version(), quint16(0x0150));
        QVERIFY(worker.is_open());
    }

    void device_change_events()
    {
        virtual_bench bench;
        auto device = bench.add_unit();
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened);
        QSignalSpy closed(&worker, &rv8_worker::closed);
        worker.smart_reconnect(0x8000);
        worker.smart_reconnect(0x8000); // already open
        worker.smart_reconnect(0x8004); // still answering
        worker.smart_reconnect(0x0007);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(closed.count(), 0);

        device->set_plugged(false);
        worker.smart_reconnect(0x8004);
        worker.smart_reconnect(0x8004); // already closed: nothing new
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
        QByteArray msg = version_query;
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
