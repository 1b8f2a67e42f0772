// Which udev events become device-change codes, and the watcher's own signal path.

#include "device/d2xx/hotplug_event.h"
#include "device/d2xx/hotplug_watcher.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

class tst_hotplug : public QObject {
    Q_OBJECT

private slots:
    void only_ftdi_serial_adds_and_removes_give_codes()
    {
        // action, subsystem, vendor id (none when empty), code
        const std::tuple<const char*, const char*, const char*, quint32> cases[] = {
            {"add", "tty", "0403", 0x8000}, {"remove", "tty", "0403", 0x8004}, {"add", "usb-serial", "0403", 0x8000},
            {"add", "tty", "067b", 0},      {"add", "tty", "04031", 0},          {"add", "tty", "", 0},
            {"add", "usb", "0403", 0},      {"change", "tty", "0403", 0},       {"ADD", "tty", "0403", 0}};
        for (const auto& [action, subsystem, vendor, code] : cases) {
            hotplug_record record {action, subsystem, {{QStringLiteral("DEVNAME"), QStringLiteral("/dev/ttyUSB0")}}};
            if (*vendor)
                record.properties.insert(QStringLiteral("ID_VENDOR_ID"), vendor);
            QVERIFY2(hotplug_event_code(record) == code, qPrintable(record.action + ' ' + record.subsystem + ' ' + vendor));
        }
    }

    void failed_monitor_logs_and_keeps_the_manual_path()
    {
        log_capture log;
        hotplug_watcher watcher(QByteArrayLiteral("no-such-netlink-group"));
        QSignalSpy events(&watcher, &hotplug_watcher::device_event);
        QVERIFY(!watcher.start() && !watcher.running());
        QCOMPARE(log.texts(QtCriticalMsg), QStringList {QStringLiteral("Error: Failed to register device notification!")});
        QCOMPARE(log.entries().size(), 1);
        watcher.announce(0x8000);
        watcher.announce(0x8004);
        QCOMPARE(QList<QList<QVariant>>(events), (QList<QList<QVariant>> {{0x8000u}, {0x8004u}}));
    }
};

QTEST_GUILESS_MAIN(tst_hotplug)
#include "tst_hotplug.moc"
