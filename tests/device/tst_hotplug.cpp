// Which udev events become device-change codes, and the watcher's own signal path.

#include "device/d2xx/hotplug_event.h"
#include "device/d2xx/hotplug_watcher.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

class tst_hotplug : public QObject {
    Q_OBJECT

private slots:
    void event_code_data();
    void event_code();
    void failed_monitor_logs_and_keeps_the_manual_path();
};

void tst_hotplug::event_code_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("subsystem");
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<quint32>("code");
    QTest::newRow("ftdi tty added") << "add" << "tty" << "0403" << quint32(0x8000);
    QTest::newRow("ftdi tty removed") << "remove" << "tty" << "0403" << quint32(0x8004);
    QTest::newRow("ftdi usb-serial added") << "add" << "usb-serial" << "0403" << quint32(0x8000);
    QTest::newRow("other vendor's tty") << "add" << "tty" << "067b" << quint32(0);
    QTest::newRow("vendor id only as a prefix") << "add" << "tty" << "04031" << quint32(0);
    QTest::newRow("no vendor id") << "add" << "tty" << QString() << quint32(0);
    QTest::newRow("ftdi usb device itself") << "add" << "usb" << "0403" << quint32(0);
    QTest::newRow("change") << "change" << "tty" << "0403" << quint32(0);
    QTest::newRow("action in capitals") << "ADD" << "tty" << "0403" << quint32(0);
}

void tst_hotplug::event_code()
{
    QFETCH(QString, action);
    QFETCH(QString, subsystem);
    QFETCH(QString, vendor);
    QFETCH(quint32, code);
    hotplug_record record {action, subsystem, {{QStringLiteral("DEVNAME"), QStringLiteral("/dev/ttyUSB0")}}};
    if (!vendor.isNull())
        record.properties.insert(QStringLiteral("ID_VENDOR_ID"), vendor);
    QCOMPARE(hotplug_event_code(record), code);
}

void tst_hotplug::failed_monitor_logs_and_keeps_the_manual_path()
{
    log_capture log;
    hotplug_watcher watcher(QByteArrayLiteral("no-such-netlink-group"));
    QSignalSpy events(&watcher, &hotplug_watcher::device_event);
    QVERIFY(!watcher.start());
    QVERIFY(!watcher.running());
    QCOMPARE(log.texts(QtCriticalMsg), QStringList {QStringLiteral("Error: Failed to register device notification!")});
    QCOMPARE(log.entries().size(), 1);

    watcher.announce(0x8000);
    watcher.announce(0x8004);
    QCOMPARE(QList<QList<QVariant>>(events), (QList<QList<QVariant>> {{0x8000u}, {0x8004u}}));
}

QTEST_GUILESS_MAIN(tst_hotplug)
#include "tst_hotplug.moc"
