// The worker through the serial provider and a pseudo-terminal, so that termios, the kernel's tty
// buffers and the unit's own timing all take part: a virtual unit served from a thread of its own
// (the worker can then block in the test's thread while the unit keeps answering), and the rv8-sim
// tool as a user runs it, a separate process whose terminal the program opens.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/hotplug_watcher.h"
#include "device/d2xx/serial_provider.h"
#include "device/rv8.h"
#include "model/rv8_vars.h"
#include "sim/sim_pty_host.h"
#include "tests/support/log_capture.h"

#include <QtTest>

namespace {

class serial_bench {
public:
    serial_bench() : host(new sim_pty_host(unit))
    {
        host->moveToThread(&thread);
        thread.start();
        in_host([this] { started = host->start(); });
        provider.add_port(host->slave_path(), QStringLiteral("KIRRA 3"), QStringLiteral("PTY00001"));
        d2xx_registry::instance().add_provider(&provider);
    }
    ~serial_bench()
    {
        worker.reset();
        d2xx_registry::instance().remove_provider(&provider);
        hang_up();
        thread.quit();
        thread.wait();
    }
    bool open()
    {
        worker->open();
        return started && worker->is_open();
    }
    // The version query's status followed by whatever reply was left.
    QByteArray ask()
    {
        QByteArray msg = QByteArray::fromHex("C3050001B671"), reply;
        return QByteArray::number(int(worker->get_param(msg, reply, 2))) + reply.toHex();
    }
    // The unit is touched only from the host's thread.
    template <typename F>
    void in_host(F&& f) { QMetaObject::invokeMethod(host.get(), std::forward<F>(f), Qt::BlockingQueuedConnection); }
    // Closes the master side now, or from the host's event loop after a while.
    void hang_up(int after_ms = -1)
    {
        in_host([this, after_ms] {
            after_ms < 0 ? host->hang_up() : QTimer::singleShot(after_ms, host.get(), &sim_pty_host::hang_up);
        });
    }

    sim_unit unit;
    serial_provider provider {false};
    std::unique_ptr<rv8_worker> worker = std::make_unique<rv8_worker>();

private:
    QThread thread;
    std::unique_ptr<sim_pty_host> host;
    bool started = false;
};

} // namespace

class tst_serial_link : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    serial_provider provider {false}; // rv8-sim's terminal

private slots:
    // Pulled out, or pulled out while the worker waits for a reply the unit swallowed: the link
    // closes at once, without waiting out the time-out.
    void unplug_closes_the_link()
    {
        for (bool during_wait : {false, true}) {
            serial_bench b;
            QVERIFY(b.open());
            QSignalSpy closed(b.worker.get(), &rv8_worker::closed);
            log_capture log;
            if (during_wait) {
                b.in_host([&] { b.unit.faults().drop_replies = 1; });
                b.hang_up(100);
            } else {
                b.hang_up();
            }
            QCOMPARE(b.ask(), QByteArray::number(int(FT_IO_ERROR)));
            QCOMPARE(log.texts(QtCriticalMsg), QStringList{during_wait ? "Cannot get queue status, disconnecting"
                                                                       : "Cannot purge Rx/Tx buffers, disconnecting"});
            QVERIFY(!log.contains_text(QStringLiteral("Timed out")));
            QCOMPARE(closed.size(), 1);
            QVERIFY(!b.worker->is_open());
        }
    }

    // Arrival and removal codes: only a removal of a unit that no longer answers closes the link,
    // once.
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
        for (quint32 code : {0x8000, 0x8004, 0x0007})
            watcher.announce(code);
        QCoreApplication::processEvents();
        QCOMPARE(opened.size() + closed.size(), 1);
        QVERIFY(b.worker->is_open());

        b.hang_up();
        watcher.announce(0x8004);
        watcher.announce(0x8004);
        QVERIFY(closed.wait());
        QCoreApplication::processEvents();
        QVERIFY(closed.size() == 1 && opened.size() == 1 && !b.worker->is_open());
    }

    // Found by its serial, identified, streaming without a word of complaint, then stopped so cleanly that whole
    // tables go both ways; what was written is in the store when the tool ends.
    void serves_options_and_keeps_settings_in_the_store()
    {
        const QString store = dir.filePath(QStringLiteral("unit.eeprom"));
        QProcess sim;
        sim.start(QStringLiteral(RV8_SIM_PATH), {"--fw-version", "0x0201", "--variant", "s", "--live-period", "2",
                                                 "--store", store});
        while (!sim.canReadLine())
            QVERIFY(sim.waitForReadyRead(5000));
        const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QVERIFY(path.startsWith(QLatin1String("/dev/pts/")));
        provider.add_port(path, QStringLiteral("KIRRA 3"), QStringLiteral("SIM00001"));
        d2xx_registry::instance().add_provider(&provider);
        auto worker = std::make_unique<rv8_worker>();
        QSignalSpy opened(worker.get(), &rv8_worker::opened);
        log_capture log;
        worker->open();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0][0].toString() + QString(" %1 %2").arg(opened[0][1].value<quint16>(), 0, 16)
                                                      .arg(opened[0][2].value<rv8_variant>()),
                 QString("SIM00001 201 %1").arg(variant_rv8_s));
        QSignalSpy records(worker.get(), &rv8_worker::log_data_ready);
        worker->start_live_logging();
        QTRY_VERIFY(records.size() >= 20);
        worker->stop_live_logging(true);
        for (const QList<QVariant>& record : records)
            QVERIFY(record[0].value<rv8_frame>().batt_adc > 0);
        rv8_vars vars(worker.get());
        QCOMPARE(vars.rv8_to_vars(), FT_OK);
        QList<QByteArray> tables;
        QList<unsigned int> ints;
        QList<adc_trim> trims;
        vars.get(tables, ints, trims);
        const sim_memory factory;
        for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2}) {
            QCOMPARE(tables[t].toHex(), factory.tables[t].toHex());
            vars.set(factory.tables[3 - t], t);
        }
        vars.set(0x0042u, int_pump_prime_delay);
        QCOMPARE(vars.vars_to_rv8(), FT_OK);
        QCOMPARE(log.texts(QtWarningMsg) + log.texts(QtCriticalMsg), QStringList());
        worker.reset();
        d2xx_registry::instance().remove_provider(&provider);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY(sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0);
        sim_memory saved;
        QVERIFY(saved.load(store));
        QCOMPARE(saved.pump_prime_delay.toHex(), QByteArray("0042"));
        for (int t = 0; t < 4; ++t)
            QCOMPARE(saved.tables[size_t(t)].toHex(), factory.tables[size_t(3 - t)].toHex());
    }

    void refuses_bad_options()
    {
        const QString broken = dir.filePath(QStringLiteral("broken.eeprom"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not an eeprom image") > 0 && file.flush());
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
