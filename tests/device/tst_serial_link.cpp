// The worker talking to a virtual unit through the serial provider and a pseudo-terminal:
// termios, the kernel's tty buffers and the unit's own timing all take part; and the rv8-sim tool
// as a user runs it, a separate process whose terminal the program opens.

#include "device/d2xx/hotplug_watcher.h"
#include "model/rv8_vars.h"
#include "tests/device/tst_serial_unit.h"
#include "tests/support/log_capture.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const char version_query[] = "C3050001B671";

QByteArray failed(FT_STATUS status)
{
    return "status " + QByteArray::number(int(status));
}
}

class tst_serial_link : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    serial_provider provider {false}; // rv8-sim's terminal

private slots:
    // Whole tables both ways through the tty's buffers: what was read comes back, what was sent lands.
    void settings_read_and_write_complete()
    {
        serial_bench b;
        QVERIFY(b.open());
        sim_memory before;
        b.in_host([&] { before = b.unit.memory(); });
        rv8_vars vars(b.worker.get());
        QCOMPARE(vars.rv8_to_vars(), FT_OK);
        QList<QByteArray> tables;
        QList<unsigned int> ints;
        QList<adc_trim> trims;
        vars.get(tables, ints, trims);
        for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2}) {
            QCOMPARE(tables[t].toHex(), before.tables[t].toHex());
            vars.set(before.tables[3 - t], t);
        }
        vars.set(0x0123u, int_pump_prime_delay);
        QCOMPARE(vars.vars_to_rv8(), FT_OK);
        sim_memory after;
        b.in_host([&] { after = b.unit.memory(); });
        QCOMPARE(after.pump_prime_delay.toHex(), QByteArray("0123"));
        for (int t = 0; t < 4; ++t)
            QCOMPARE(after.tables[t].toHex(), before.tables[3 - t].toHex());
    }

    void live_records_stream_and_stop_until_unplugged()
    {
        sim_config fast;
        fast.live_period_ms = 2;
        serial_bench b(fast);
        QVERIFY(b.open());
        log_capture log;
        QSignalSpy records(b.worker.get(), &rv8_worker::log_data_ready);
        b.worker->start_live_logging();
        QTRY_VERIFY(records.size() >= 20);
        QCOMPARE(log.texts(QtWarningMsg) + log.texts(QtCriticalMsg), QStringList());
        for (const QList<QVariant>& record : records)
            QVERIFY(record[0].value<rv8_frame>().batt_adc > 0);

        b.worker->stop_live_logging(true);
        bool streaming = true;
        b.in_host([&] { streaming = b.unit.streaming(); });
        QVERIFY(!streaming);
        // Nothing of the stream is left to be taken for the reply.
        QCOMPARE(b.ask(version_query, 2), QByteArray("0175"));

        QSignalSpy closed(b.worker.get(), &rv8_worker::closed);
        b.worker->start_live_logging();
        QVERIFY(records.wait());
        b.hang_up();
        QTRY_COMPARE(closed.size(), 1);
        QVERIFY(!b.worker->is_open());
        QVERIFY(!b.worker->is_logging());
        // A read may fail first if the plug goes between the queue check and the read; the next poll closes.
        QVERIFY(log.has(QtCriticalMsg, QStringLiteral("Cannot get queue status, disconnecting")));
    }

    void unplug_closes_the_link()
    {
        for (bool during_wait : {false, true}) {
            serial_bench b;
            QVERIFY(b.open());
            QSignalSpy closed(b.worker.get(), &rv8_worker::closed);
            log_capture log;
            if (during_wait) {
                // The unit swallows the request; the plug is pulled while the worker waits for the reply.
                b.in_host([&] { b.unit.faults().drop_replies = 1; });
                b.hang_up(100);
            } else {
                b.hang_up();
            }
            QCOMPARE(b.ask(version_query, 2), failed(FT_IO_ERROR));
            QCOMPARE(log.texts(QtCriticalMsg), QStringList{during_wait ? "Cannot get queue status, disconnecting"
                                                                       : "Cannot purge Rx/Tx buffers, disconnecting"});
            QVERIFY(!log.contains_text(QStringLiteral("Timed out")));
            QCOMPARE(closed.size(), 1);
            QVERIFY(!b.worker->is_open());
            QCOMPARE(b.ask(version_query, 2), failed(FT_DEVICE_NOT_OPENED));
        }
    }

    void hotplug_codes_reach_the_worker()
    {
        serial_bench b;
        hotplug_watcher watcher;
        connect(&watcher, &hotplug_watcher::device_event, b.worker.get(), &rv8_worker::smart_reconnect,
                Qt::QueuedConnection);
        QSignalSpy opened(b.worker.get(), &rv8_worker::opened);
        QSignalSpy closed(b.worker.get(), &rv8_worker::closed);
        log_capture log;

        watcher.announce(0x8000);
        QVERIFY(opened.wait());
        QCOMPARE(log.count(QStringLiteral("Vantrel RV8-SX detected:")), 1);

        // Arrival while open, removal of some other device: the link stays as it is.
        watcher.announce(0x8000);
        watcher.announce(0x8004);
        QCoreApplication::processEvents();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(closed.size(), 0);
        QVERIFY(b.worker->is_open());

        b.hang_up();
        watcher.announce(0x8004);
        QVERIFY(closed.wait());
        QCOMPARE(closed.size(), 1);
        QVERIFY(!b.worker->is_open());

        // The terminal is gone with the unit: a later arrival finds nothing to open.
        watcher.announce(0x8000);
        QVERIFY(closed.wait());
        QCOMPARE(opened.size(), 1);
    }

    void serves_options_and_keeps_settings_in_the_store()
    {
        const QString store = dir.filePath(QStringLiteral("unit.eeprom"));
        QProcess sim;
        sim.start(QStringLiteral(RV8_SIM_PATH), {"--fw-version", "0x0201", "--variant", "s", "--live-period", "5",
                                                 "--store", store});
        while (!sim.canReadLine())
            QVERIFY(sim.waitForReadyRead(5000));
        const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QVERIFY(path.startsWith(QLatin1String("/dev/pts/")));
        provider.add_port(path, QStringLiteral("KIRRA 3"), QStringLiteral("SIM00001"));
        d2xx_registry::instance().add_provider(&provider);
        DWORD count = 0;
        QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
        FT_DEVICE_LIST_INFO_NODE node[2] {};
        QCOMPARE(FT_GetDeviceInfoList(node, &count), FT_OK);
        QCOMPARE(count, DWORD(1));
        QCOMPARE(QByteArray(node[0].Description) + "/" + QByteArray(node[0].SerialNumber), QByteArray("KIRRA 3/SIM00001"));

        auto worker = std::make_unique<rv8_worker>();
        QSignalSpy opened(worker.get(), &rv8_worker::opened);
        worker->open();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(std::make_pair(opened[0][1].value<quint16>(), opened[0][2].value<rv8_variant>()),
                 std::make_pair(quint16(0x0201), variant_rv8_s));
        QSignalSpy records(worker.get(), &rv8_worker::log_data_ready);
        worker->start_live_logging();
        QTRY_VERIFY(records.size() >= 5);
        worker->stop_live_logging(true);
        rv8_vars vars(worker.get());
        QCOMPARE(vars.rv8_to_vars(), FT_OK);
        vars.set(0x0042u, int_pump_prime_delay);
        QCOMPARE(vars.vars_to_rv8(), FT_OK);
        worker.reset();
        d2xx_registry::instance().remove_provider(&provider);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY(sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0);
        sim_memory saved;
        QVERIFY(saved.load(store));
        QCOMPARE(saved.pump_prime_delay.toHex(), QByteArray("0042"));
    }

    void refuses_bad_options()
    {
        const QString broken = dir.filePath(QStringLiteral("broken.eeprom"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not an eeprom image") > 0);
        file.close();
        // The reason after the store's path is the loader's own.
        const QList<std::pair<QStringList, QByteArray>> cases{
            {{"--variant", "sxx"}, "rv8-sim: --variant is sx or s\n"},
            {{"--fw-version", "0x10000"}, "rv8-sim: --fw-version wants a 16-bit number such as 0x0175\n"},
            {{"--live-period", "-1"}, "rv8-sim: --live-period wants milliseconds, 0 or more\n"},
            {{"--store", broken}, "rv8-sim: cannot load " + broken.toLocal8Bit() + ": "}};
        for (const auto& [args, error] : cases) {
            QProcess sim;
            sim.start(QStringLiteral(RV8_SIM_PATH), args);
            QVERIFY(sim.waitForFinished(5000));
            QCOMPARE(sim.exitCode(), 2);
            QCOMPARE(sim.readAllStandardOutput(), QByteArray());
            const QByteArray said = sim.readAllStandardError();
            QCOMPARE(error.endsWith('\n') ? said : said.left(error.size()), error);
        }
    }
};

QTEST_GUILESS_MAIN(tst_serial_link)
#include "tst_serial_link.moc"
