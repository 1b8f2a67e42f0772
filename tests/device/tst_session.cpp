// Finding, opening, identifying, resetting and closing a unit, and single exchanges with it: each
// failure checked by its status, its exact messages and whether the link survived.

#include "tests/device/tst_worker_rig.h"

using namespace wire;

namespace {
const QByteArray main_duty = QByteArray::fromHex("01F4");
using banner_fault = sim_faults::banner_fault;

// A worker opened on a fresh unit, its writes forgotten, and the version query's reply.
struct open_unit : worker_rig {
    explicit open_unit(sim_config config = {}) : worker_rig(1e9, false, config) {}
    QByteArray reply = "stale";
    FT_STATUS query_version()
    {
        QByteArray msg = version_query;
        return worker->get_param(msg, reply, 2);
    }
};
}

class tst_session : public QObject {
    Q_OBJECT

private slots:
    void finding_the_unit()
    {
        {
            // The last unit listed is taken, by its serial as the list holds it (15 bytes).
            virtual_bench bench;
            auto first = bench.add_unit("RV8FIRST");
            bench.provider.add_device("USB Serial Cable", "FT0001");
            auto last = bench.add_unit("RV8-0123456789ABCDEF");
            log_capture log;
            rv8_worker worker;
            QSignalSpy opened(&worker, &rv8_worker::opened);
            worker.open();
            QCOMPARE(firsts<QString>(opened), QStringList{"RV8-0123456789A"});
            QVERIFY(last->is_open() && !first->is_open() && first->writes().isEmpty());
            QCOMPARE(log.count("Vantrel RV8-SX detected:"), 2);
            QVERIFY(log.has(QtDebugMsg, "  Dev 0  Serial RV8FIRST"));
            QVERIFY(log.has(QtDebugMsg, "  Dev 2  Serial RV8-0123456789A"));
        }
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

    // The unit announced with its version and variant: one left streaming is silenced before it is
    // asked anything, one in its bootloader does not answer and shows as version 0. Or nothing
    // announced and the link closed once: nothing there, other gadgets only, a failing step of
    // opening, or the unit pulled out before or during its identity query.
    void opening_data()
    {
        QTest::addColumn<int>("version"); // the unit's; 0: in its bootloader, -1: none there
        QTest::addColumn<int>("variant_byte");
        QTest::addColumn<int>("call"); // that fails; -1: none
        QTest::addColumn<QByteArray>("unplug_at");
        QTest::addColumn<QString>("announced"); // version and variant
        QTest::addColumn<QString>("messages");  // critical, then warning
        QTest::addColumn<QList<QByteArray>>("sent");
        const QList<QByteArray> asked{live_off, version_query, variant_query};
        const QString timed_out = "Timed out waiting for FW to respond: exp_bytes=5, bytes available=0 | "
                                  "Could not read msg c3050001b6...(exp 2)";
        QTest::newRow("1.60 SX") << 0x0160 << 0xAA << -1 << QByteArray() << "160 0" << "" << asked;
        QTest::newRow("1.75 S") << 0x0175 << 0xAB << -1 << QByteArray() << "175 1" << "" << asked;
        QTest::newRow("bootloader") << 0 << 0xAA << -1 << QByteArray() << "0 1" << timed_out << asked.mid(0, 2);
        QTest::newRow("nothing there") << -1 << 0 << -1 << QByteArray() << "" << "" << QList<QByteArray>();
        QTest::newRow("other gadgets") << -1 << 0 << -1 << QByteArray() << "" << "" << QList<QByteArray>();
        QTest::newRow("open") << 0x0175 << 0xAA << int(d2xx_call::open) << QByteArray() << ""
                              << "Cannot open device, returned 4. Try again! | Cannot disconnect from device handle 0x0 "
                                 "(you can probably ignore this)" << QList<QByteArray>();
        QTest::newRow("timeouts") << 0x0175 << 0xAA << int(d2xx_call::set_timeouts) << QByteArray() << ""
                                  << "Cannot set timeouts: 4" << QList<QByteArray>();
        QTest::newRow("latency") << 0x0175 << 0xAA << int(d2xx_call::set_latency_timer) << QByteArray() << ""
                                 << "Could not set latency timer: 4" << QList<QByteArray>();
        const QString lost = " | Cannot get queue status, disconnecting";
        const QString unplugged[] = {"Cannot write msg c313000100 | Cannot purge Rx/Tx buffers, disconnecting",
                                     "Cannot write command to device. msg=c3050001b671" + lost,
                                     "Cannot write command to device. msg=c3050001c106" + lost};
        for (int k = 0; k < 3; ++k)
            QTest::addRow("unplugged at %s", asked[k].toHex().constData())
                << 0x0175 << 0xAA << -1 << asked[k] << "" << unplugged[k] << asked.mid(0, k); // the frame goes nowhere
    }

    void opening()
    {
        QFETCH(int, version);
        QFETCH(int, variant_byte);
        QFETCH(int, call);
        QFETCH(QByteArray, unplug_at);
        virtual_bench bench;
        std::shared_ptr<virtual_device> device;
        if (QTest::currentDataTag() == QByteArray("other gadgets")) {
            device = bench.provider.add_device("USB Serial Cable", "FT0001");
            bench.provider.add_device("KIRRA 3 ", "FT0002");
            bench.provider.add_device("kirra 3", "FT0003");
        } else if (version >= 0) {
            sim_config config;
            config.fw_version = quint16(version ? version : 0x0175);
            config.variant_byte = quint8(variant_byte);
            config.start_in_bootloader = !version;
            device = bench.add_unit("RV8A0001", config);
            configure(device, [&](sim_unit&, virtual_faults& f) {
                if (call >= 0)
                    f.fail(d2xx_call(call), FT_IO_ERROR);
                if (!unplug_at.isEmpty())
                    f.strike_on = unplug_at, f.strike = [](sim_unit*, virtual_faults& now) { now.unplugged = true; };
            });
        }
        log_capture log;
        rv8_worker worker;
        QSignalSpy opened(&worker, &rv8_worker::opened), closed(&worker, &rv8_worker::closed);
        worker.open(); // a unit in its bootloader costs one reply time-out
        QStringList announced;
        for (const auto& args : opened)
            announced << QString("%1 %2").arg(args[1].value<quint16>(), 0, 16).arg(args[2].value<rv8_variant>());
        QTEST(announced.join(", "), "announced");
        QTEST((log.texts(QtCriticalMsg) + log.texts(QtWarningMsg)).join(" | "), "messages");
        QTEST(device ? device->writes() : QList<QByteArray>(), "sent");
        QCOMPARE(closed.count(), announced.isEmpty() ? 1 : 0);
        QVERIFY(worker.is_open() == !announced.isEmpty() && (!device || device->is_open() == worker.is_open()));
    }

    void reset_unplug_and_close()
    {
        open_unit o;
        auto& device = o.device;
        rv8_worker& worker = *o.worker;
        log_capture log;
        rv8_worker().reset();
        QCOMPARE(log.texts(), QStringList{"Start reset"}); // nothing open, nothing done
        log.clear();
        QSignalSpy opened(&worker, &rv8_worker::opened), closed(&worker, &rv8_worker::closed);
        worker.reset();
        QCOMPARE(device->writes(), (QList<QByteArray>{live_off, QByteArray::fromHex("C3050001B770")}));
        QCOMPARE(log.texts(QtDebugMsg).filter(QRegularExpression("^(Start reset|Resetting)")),
                 (QStringList{"Start reset", "Resetting RV8-SX", "Resetting FTDI"}));
        QVERIFY(log.texts(QtWarningMsg).isEmpty() && worker.is_open());
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
        // about a reset it could not try; a reset on the closed link does nothing at all. Plugged in
        // again, the arrival connects anew.
        device->set_plugged(false);
        log.clear();
        worker.reset();
        worker.reset();
        QCOMPARE(log.texts(QtWarningMsg), QStringList());
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"Cannot write msg c313000100",
                                                        "Cannot purge Rx/Tx buffers, disconnecting"}));
        QCOMPARE(closed.count(), 1);
        worker.smart_reconnect(0x8000); // finds nothing to open: closed once more
        device->set_plugged(true);
        worker.smart_reconnect(0x8000);
        QVERIFY(opened.count() == 1 && closed.count() == 2 && worker.is_open());

        // A closed link answers without the driver.
        worker.close();
        QVERIFY(closed.count() == 3 && !device->is_open());
        device->clear_writes();
        QCOMPARE(worker.silent_close(), FT_STATUS(FT_OK));
        QByteArray payload(1, char(0x55));
        const FT_STATUS get = o.query_version(), set = worker.set_param(msg_live_log, payload);
        QVERIFY(get == FT_DEVICE_NOT_OPENED && set == FT_DEVICE_NOT_OPENED);
        QVERIFY(o.reply.isEmpty() && device->writes().isEmpty());
        worker.open();
        o.inject([](sim_unit&, virtual_faults& f) { f.fail(d2xx_call::close, FT_IO_ERROR); });
        QCOMPARE(worker.silent_close(), FT_STATUS(FT_IO_ERROR));
        QVERIFY(log.contains_text("(you can probably ignore this)") && !worker.is_open());
    }

    void bootloader_entry_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("stray");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("reidentified");
        const QString v_only = "Found a 'v' but not the actual bootloader version (this should never happen). "
                               "Some kind of comms issue?";
        QTest::newRow("banner") << int(banner_fault::none) << QByteArray() << 0 << "" << true;
        QTest::newRow("silence") << int(banner_fault::missing) << QByteArray() << 4
                                 << "Could not reset properly, no data from device: 0" << false;
        QTest::newRow("no banner") << int(banner_fault::missing) << QByteArray("OK\r\n") << 18
                                   << "Could not reset into bootloader mode. Either FW is too old (must be greater "
                                      "than v1.60) or there was a comms issue (power cycle the board)."
                                   << true;
        QTest::newRow("v last") << int(banner_fault::v_last) << QByteArray() << 18 << v_only << false;
        QTest::newRow("v then letter") << int(banner_fault::v_not_digit) << QByteArray() << 18 << v_only << false;
    }

    // A unit that did not restart is asked who it is again; one that did shows as its bootloader.
    void bootloader_entry()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, stray);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(bool, reidentified);
        sim_config config;
        config.fw_version = 0x0150;
        open_unit o(config);
        QCOMPARE(rv8_worker().reset_into_bootloader(), FT_STATUS(FT_DEVICE_NOT_OPENED));
        o.inject([&](sim_unit& unit, virtual_faults&) {
            unit.faults().banner = banner_fault(fault);
            unit.faults().extra_after_command = stray;
        });
        QSignalSpy opened(o.worker.get(), &rv8_worker::opened);
        log_capture log;
        QCOMPARE(o.worker->reset_into_bootloader(), FT_STATUS(status));
        QCOMPARE(log.texts(QtCriticalMsg), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(o.device->writes().mid(0, 2), (QList<QByteArray>{live_off, QByteArray::fromHex("C3050001C007")}));
        QCOMPARE(opened.count(), reidentified ? 1 : 0);
        QVERIFY(o.worker->is_open());
        if (status == FT_OK) {
            QVERIFY(log.has(QtDebugMsg, "In bootloader mode"));
            QCOMPARE(opened[0][1].value<quint16>(), quint16(0));
            QCOMPARE(opened[0][2].value<rv8_variant>(), variant_rv8_sx);
            return;
        }
        QCOMPARE(o.device->writes().mid(2), reidentified ? (QList<QByteArray>{version_query, variant_query})
                                                         : QList<QByteArray>());
        QCOMPARE(o.worker->get_fw_version(), quint16(0x0150));
    }

    // A partial frame the unit only drops once it goes stale comes last.
    void tracing_shows_what_was_offered_and_what_arrived()
    {
        open_unit o;
        o.worker->set_rw_debug(true);
        o.inject([](sim_unit&, virtual_faults& f) { f.short_reads = 1; });
        log_capture log;
        QCOMPARE(o.query_version(), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(log.texts(QtDebugMsg), (QStringList{"write 0xc3050001b671", "read  0x3c05fa01"}));
        log.clear();
        o.inject([](sim_unit&, virtual_faults& f) { f.short_writes = 1; });
        QCOMPARE(o.query_version(), FT_STATUS(FT_IO_ERROR));
        QCOMPARE(log.texts(QtDebugMsg), QStringList{"write 0xc3050001b671"});
    }

    // One exchange against a failing driver call, a flaky cable or a unit that gets it wrong: the
    // exact messages and whether the link survived. A set is sent again only for a wrong header, at
    // most five times.
    void exchange_faults_data()
    {
        QTest::addColumn<int>("fault"); // below 0: driver call -1 - fault fails
        QTest::addColumn<bool>("typed");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("messages"); // critical, then warning
        QTest::addColumn<int>("sent");
        QTest::addColumn<bool>("stays_open");
        const auto failing = [](d2xx_call call) { return -1 - int(call); };
        const QString unread = " | Could not read msg c3050001b6...(exp 2)", no_code = " | Could not get return code for msg 01f4";
        for (bool typed : {false, true}) {
            const char* kind = typed ? "set" : "get";
            const QString then = typed ? no_code : unread;
            QTest::addRow("%s purge", kind) << failing(d2xx_call::purge) << typed << 4
                                            << "Cannot purge Rx/Tx buffers, disconnecting" << 0 << false;
            QTest::addRow("%s write", kind) << failing(d2xx_call::write) << typed << 10
                                            << (typed ? "Cannot write msg c302000201"
                                                      : "Cannot write command to device. msg=c3050001b671")
                                            << 0 << !typed;
            QTest::addRow("%s queue status", kind) << failing(d2xx_call::queue_status) << typed << 4
                                                   << "Cannot get queue status, disconnecting" + then << 1 << false;
            QTest::addRow("%s read", kind) << failing(d2xx_call::read) << typed << 4
                                           << "Could not read from device" + then << 1 << false;
        }
        const QString timed_out = "Timed out waiting for FW to respond: exp_bytes=%1, bytes available=0";
        const QString retry = "Did not receive valid return msg header. ret=0x3c0202 exp=0x3c02fd. Will retry...";
        const QString cable = "Could not write message to device, there seems to be a problem with your USB cable. "
                              "Suggest you replace your USB cable with one that has a ferrite bead on the device-end "
                              "(google 'ferrite bead')";
        QTest::newRow("get short write") << 0 << false << 4 << "Could not write all data to device" << 1 << true;
        QTest::newRow("set short write") << 0 << true << 4
                                         << "Could not write all data to device. msg length=2  bytes sent=6" << 1 << true;
        QTest::newRow("short read") << 1 << false << 4
                                    << "Did not read out the expected number of bytes: exp_bytes=5, read bytes=4" + unread
                                    << 1 << true;
        QTest::newRow("late reply") << 2 << false << 18 << timed_out.arg(5) + unread << 1 << true;
        QTest::newRow("get wrong header") << 3 << false << 18
                                          << "get_param: Did not receive valid return msg header: 0x3c0505" << 1 << true;
        QTest::newRow("set wrong header twice") << 4 << true << 0 << retry + " | " + retry + " | Retry successful!" << 3
                                                << true;
        QTest::newRow("set wrong header five times")
            << 5 << true << 4 << cable + " | " + (retry + " | ").repeated(5).chopped(3) << 5 << true;
        QTest::newRow("set reply missing") << 6 << true << 18 << timed_out.arg(3) + no_code << 1 << true;
    }

    void exchange_faults()
    {
        QFETCH(int, fault);
        QFETCH(bool, typed);
        QFETCH(int, status);
        QFETCH(int, sent);
        QFETCH(bool, stays_open);
        open_unit o;
        o.inject([&](sim_unit& unit, virtual_faults& f) {
            sim_faults& s = unit.faults();
            switch (fault) {
            case 0: f.short_writes = 1; break;
            case 1: f.short_reads = 1; break;
            case 2: s.late_replies = 1, s.late_by_ms = 2600; break;
            case 6: s.drop_replies = 1; break;
            default: fault < 0 ? f.fail(d2xx_call(-1 - fault), FT_STATUS(status))
                               : void(s.corrupt_headers = fault == 3 ? 1 : fault == 4 ? 2 : 5);
            }
        });
        QSignalSpy closed(o.worker.get(), &rv8_worker::closed);
        log_capture log;
        QElapsedTimer waited;
        waited.start();
        QByteArray duty = main_duty;
        QCOMPARE(int(typed ? o.worker->set_param(msg_override_main, duty) : o.query_version()), status);
        if (fault == 2)
            QVERIFY(waited.elapsed() >= 1900); // the wait is about two seconds, never shorter
        QTEST((log.texts(QtCriticalMsg) + log.texts(QtWarningMsg)).join(" | "), "messages");
        const QByteArray frame = typed ? QByteArray::fromHex("C302000201F436") : version_query;
        QCOMPARE(o.device->writes(), QVector<QByteArray>(sent, frame).toList());
        QCOMPARE(o.reply, QByteArray(typed ? "stale" : ""));
        QCOMPARE(o.worker->is_open(), stays_open);
        QCOMPARE(closed.count(), stays_open ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(tst_session)
#include "tst_session.moc"
