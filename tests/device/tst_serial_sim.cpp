// The rv8-sim tool as a user runs it: a separate process whose terminal the program opens.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/serial_provider.h"
#include "device/rv8.h"
#include "model/rv8_vars.h"

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
    void refuses_bad_options();

private:
    // Starts the tool and returns its terminal's path, empty when it did not come up.
    QString start(QProcess& sim, const QStringList& args);

    serial_provider provider {false};
    QTemporaryDir dir;
};

void tst_serial_sim::initTestCase()
{
    QVERIFY(dir.isValid());
    d2xx_registry::instance().add_provider(&provider);
}

void tst_serial_sim::cleanupTestCase()
{
    d2xx_registry::instance().remove_provider(&provider);
}

QString tst_serial_sim::start(QProcess& sim, const QStringList& args)
{
    sim.start(QStringLiteral(RV8_SIM_PATH), args);
    if (!sim.waitForStarted())
        return {};
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

    rv8_worker worker;
    QSignalSpy opened(&worker, &rv8_worker::opened);
    worker.open();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened[0][0].toString(), QStringLiteral("SIM00001"));
    QCOMPARE(opened[0][1].value<quint16>(), quint16(0x0201));
    QCOMPARE(int(opened[0][2].value<rv8_variant>()), int(variant_rv8_s));

    rv8_vars vars(&worker);
    QCOMPARE(vars.rv8_to_vars(), FT_OK);
    vars.set(0x0042u, int_pump_prime_delay);
    QCOMPARE(vars.vars_to_rv8(), FT_OK);
    worker.close();

    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(QFileInfo::exists(store));

    // Its terminal went with it, so there is nothing left to open.
    QSignalSpy closed(&worker, &rv8_worker::closed);
    worker.open();
    QCOMPARE(closed.size(), 1);
    QCOMPARE(opened.size(), 1);

    QProcess again;
    QVERIFY(!start(again, {"--store", store}).isEmpty());
    worker.open();
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened[1][1].value<quint16>(), quint16(0x0175));
    QCOMPARE(int(opened[1][2].value<rv8_variant>()), int(variant_rv8_sx));
    QByteArray msg = QByteArray::fromHex("C3050001BB7C");
    QByteArray reply;
    QCOMPARE(worker.get_param(msg, reply, 2), FT_OK);
    QCOMPARE(reply.toHex(), QByteArray("0042"));
    worker.close();
    again.terminate();
    QVERIFY(again.waitForFinished(5000));
    QCOMPARE(again.exitCode(), 0);
}

void tst_serial_sim::refuses_bad_options()
{
    const struct {
        QStringList args;
        QByteArray error;
    } cases[] = {
        {{"--variant", "sxx"}, "rv8-sim: --variant is sx or s\n"},
        {{"--fw-version", "0x10000"}, "rv8-sim: --fw-version wants a 16-bit number such as 0x0175\n"},
        {{"--live-period", "-1"}, "rv8-sim: --live-period wants milliseconds, 0 or more\n"},
    };
    for (const auto& c : cases) {
        QProcess sim;
        sim.start(QStringLiteral(RV8_SIM_PATH), c.args);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 2);
        QCOMPARE(sim.readAllStandardOutput(), QByteArray());
        QCOMPARE(sim.readAllStandardError(), c.error);
    }

    const QString broken = dir.filePath(QStringLiteral("broken.eeprom"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not an eeprom image");
    file.close();
    QProcess sim;
    sim.start(QStringLiteral(RV8_SIM_PATH), {"--store", broken});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().startsWith("rv8-sim: cannot load " + broken.toLocal8Bit() + ": "));
    QCOMPARE(sim.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(tst_serial_sim)
#include "tst_serial_sim.moc"
