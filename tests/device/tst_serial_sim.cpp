// The rv8-sim tool as a user runs it: a separate process whose terminal the program opens.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/serial_provider.h"
#include "device/rv8.h"
#include "model/rv8_vars.h"
#include "sim/sim_memory.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class tst_serial_sim : public QObject {
    Q_OBJECT

    serial_provider provider {false};
    QTemporaryDir dir;

private slots:
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

QTEST_GUILESS_MAIN(tst_serial_sim)
#include "tst_serial_sim.moc"
