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

private slots:
    void initTestCase();
    void cleanupTestCase();
    void serves_options_and_keeps_settings_in_the_store();
    void refuses_bad_options_data();
    void refuses_bad_options();

private:
    // Starts the tool and returns its terminal's path, empty when it did not come up.
    QString start(QProcess& sim, const QStringList& args);

    serial_provider provider {false};
    QTemporaryDir dir;
};

void tst_serial_sim::initTestCase()
{
    QFile broken(dir.filePath(QStringLiteral("broken.eeprom")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not an eeprom image") > 0);
    d2xx_registry::instance().add_provider(&provider);
}

void tst_serial_sim::cleanupTestCase()
{
    d2xx_registry::instance().remove_provider(&provider);
}

QString tst_serial_sim::start(QProcess& sim, const QStringList& args)
{
    sim.start(QStringLiteral(RV8_SIM_PATH), args);
    while (!sim.canReadLine())
        if (!sim.waitForReadyRead(5000))
            return {};
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    provider.add_port(path, QStringLiteral("KIRRA 3"), QStringLiteral("SIM00001"));
    return path;
}

void tst_serial_sim::serves_options_and_keeps_settings_in_the_store()
{
    const QString store = dir.filePath(QStringLiteral("unit.eeprom"));
    QProcess sim;
    const QString path =
        start(sim, {"--fw-version", "0x0201", "--variant", "s", "--live-period", "5", "--store", store});
    QVERIFY(path.startsWith(QLatin1String("/dev/pts/")));
    DWORD count = 0;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
    QCOMPARE(count, DWORD(1));
    FT_DEVICE_LIST_INFO_NODE node {};
    QCOMPARE(FT_GetDeviceInfoList(&node, &count), FT_OK);
    QCOMPARE(QByteArray(node.Description), QByteArray("KIRRA 3"));
    QCOMPARE(QByteArray(node.SerialNumber), QByteArray("SIM00001"));

    rv8_worker worker;
    QSignalSpy opened(&worker, &rv8_worker::opened);
    worker.open();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0][1].value<quint16>(), quint16(0x0201));
    QCOMPARE(int(opened[0][2].value<rv8_variant>()), int(variant_rv8_s));

    QSignalSpy records(&worker, &rv8_worker::log_data_ready);
    worker.start_live_logging();
    QTRY_VERIFY(records.size() >= 5);
    worker.stop_live_logging(true);
    rv8_vars vars(&worker);
    QCOMPARE(vars.rv8_to_vars(), FT_OK);
    vars.set(0x0042u, int_pump_prime_delay);
    QCOMPARE(vars.vars_to_rv8(), FT_OK);
    worker.close();
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    sim_memory saved;
    QVERIFY(saved.load(store));
    QCOMPARE(saved.pump_prime_delay.toHex(), QByteArray("0042"));
}

void tst_serial_sim::refuses_bad_options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("variant") << QStringList {"--variant", "sxx"} << QByteArray("rv8-sim: --variant is sx or s\n");
    QTest::newRow("version") << QStringList {"--fw-version", "0x10000"}
                             << QByteArray("rv8-sim: --fw-version wants a 16-bit number such as 0x0175\n");
    QTest::newRow("period") << QStringList {"--live-period", "-1"}
                            << QByteArray("rv8-sim: --live-period wants milliseconds, 0 or more\n");
    // The reason after the path is the loader's own.
    const QString broken = dir.filePath(QStringLiteral("broken.eeprom"));
    QTest::newRow("store") << QStringList {"--store", broken} << "rv8-sim: cannot load " + broken.toLocal8Bit() + ": ";
}

void tst_serial_sim::refuses_bad_options()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, error);
    QProcess sim;
    sim.start(QStringLiteral(RV8_SIM_PATH), args);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QCOMPARE(sim.readAllStandardOutput(), QByteArray());
    const QByteArray said = sim.readAllStandardError();
    QCOMPARE(error.endsWith('\n') ? said : said.left(error.size()), error);
}

QTEST_GUILESS_MAIN(tst_serial_sim)
#include "tst_serial_sim.moc"
