// The serial provider over a pseudo-terminal that the test drives byte by byte from the master side,
// and which udev events become device-change codes.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/hotplug_event.h"
#include "device/d2xx/hotplug_watcher.h"
#include "device/d2xx/serial_provider.h"
#include "tests/support/log_capture.h"

#include <QtTest>
#include <fcntl.h>
#include <numeric>
#include <poll.h>
#include <unistd.h>

namespace {
struct pty_pair {
    int master = -1;
    QString slave;

    pty_pair()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            slave = QString::fromLocal8Bit(::ptsname(master));
    }
    ~pty_pair() { hang_up(); }
    void hang_up() { ::close(std::exchange(master, -1)); }
    void send(const QByteArray& bytes) const
    {
        QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    QByteArray receive(int count) const
    {
        QByteArray got(count, '\0');
        pollfd p {master, POLLIN, 0};
        ssize_t have = 0, n = 0;
        while (have < count && ::poll(&p, 1, 2000) > 0
               && (n = ::read(master, got.data() + have, size_t(count - have))) > 0)
            have += n;
        return got.left(int(have));
    }
};

char port_serial[] = "RV8PTY01";
}

class tst_serial_port : public QObject {
    Q_OBJECT

    std::unique_ptr<pty_pair> pty;
    std::unique_ptr<serial_provider> provider;
    std::unique_ptr<QTemporaryDir> sysfs;
    FT_HANDLE handle = nullptr;

    DWORD queued()
    {
        DWORD rx = 99;
        return FT_GetQueueStatus(handle, &rx) == FT_OK ? rx : 99;
    }
    QByteArray read(DWORD length)
    {
        QByteArray in(int(length), '\0');
        DWORD received = 0;
        return FT_Read(handle, in.data(), length, &received) == FT_OK ? in.left(int(received)) : "failed";
    }

private slots:
    void init()
    {
        pty = std::make_unique<pty_pair>();
        sysfs = std::make_unique<QTemporaryDir>();
        provider = std::make_unique<serial_provider>(false, sysfs->path());
        provider->add_port(pty->slave, QStringLiteral("KIRRA 3"), QStringLiteral("RV8PTY01"));
        d2xx_registry::instance().add_provider(provider.get());
        DWORD count = 0;
        QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
        QCOMPARE(FT_OpenEx(port_serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
        QCOMPARE(FT_SetTimeouts(handle, 200, 200), FT_OK);
    }

    void cleanup()
    {
        if (handle)
            QCOMPARE(FT_Close(handle), FT_OK);
        handle = nullptr;
        d2xx_registry::instance().remove_provider(provider.get());
        provider.reset();
        pty.reset();
    }

    void listed_while_its_path_exists_and_opened_once()
    {
        provider->add_port(QStringLiteral("/dev/no-such-tty"), QStringLiteral("KIRRA 3"), QStringLiteral("GONE0001"));
        DWORD count = 0;
        QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
        QCOMPARE(count, DWORD(1));
        FT_HANDLE second = nullptr;
        char other[] = "GONE0001";
        QCOMPARE(FT_OpenEx(other, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_FOUND);
        QVERIFY(!second);
        QCOMPARE(FT_OpenEx(port_serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
        QCOMPARE(FT_Close(handle), FT_OK);
        QCOMPARE(FT_OpenEx(port_serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    }

    // Every byte value, which a cooked tty would translate, swallow or turn into signals. A read
    // takes what is queued and leaves the rest; asking for more, the time-out ends it with what came.
    void bytes_pass_unaltered_and_a_read_takes_what_came()
    {
        QByteArray all(256, '\0');
        std::iota(all.begin(), all.end(), char(0));
        DWORD count = 0;
        QCOMPARE(FT_Write(handle, all.data(), DWORD(all.size()), &count), FT_OK);
        QCOMPARE(count, DWORD(256));
        QCOMPARE(pty->receive(256), all);
        pty->send(all.left(30));
        QTRY_COMPARE(queued(), DWORD(30));
        QCOMPARE(read(20), all.left(20));
        QCOMPARE(queued(), DWORD(10));
        QCOMPARE(read(70), all.mid(20, 10));
        pty->send(all);
        QCOMPARE(read(256), all);
    }

    void purge_discards_stale_bytes()
    {
        pty->send(QByteArray(100, char(0xAA)));
        // The pty hands bytes over asynchronously; wait for them without timing anything.
        QTRY_COMPARE(queued(), DWORD(100));
        QCOMPARE(FT_Purge(handle, FT_PURGE_TX), FT_OK);
        QCOMPARE(queued(), DWORD(100));
        QCOMPARE(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
        QCOMPARE(queued(), DWORD(0));
        pty->send(QByteArray::fromHex("3c05fa"));
        QCOMPARE(read(3), QByteArray::fromHex("3c05fa"));
        // A purge never takes back what a write reported as written: a firmware transfer's lone "\r",
        // the purge before its first line and the line, over and over (the kernel lost the "\r" now
        // and then when the purge flushed the output side).
        QByteArray cr("\r"), line(":00000001FF\r");
        for (int k = 0; k < 3000; ++k) {
            DWORD count = 0;
            QCOMPARE(FT_Write(handle, cr.data(), 1, &count) + FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX)
                         + FT_Write(handle, line.data(), DWORD(line.size()), &count),
                     FT_STATUS(FT_OK));
            QCOMPARE(pty->receive(13), cr + line);
        }
    }

    void unwritable_latency_timer_warns_once_and_still_opens()
    {
        const QString timer = QStringLiteral("%1/%2/latency_timer").arg(sysfs->path(), QFileInfo(pty->slave).fileName());
        QCOMPARE(FT_Close(handle), FT_OK);
        // A directory in the file's place cannot be written even by root.
        QVERIFY(QDir().mkpath(timer));
        log_capture log;
        QCOMPARE(FT_OpenEx(port_serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
        QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_OK);
        QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_OK);
        const QString warning = "Cannot set the latency timer of %1 (%2: Is a directory), replies will come slower";
        QCOMPARE(log.texts(QtWarningMsg), QStringList{warning.arg(pty->slave, timer)});
    }

    void hung_up_port_fails_every_call()
    {
        QCOMPARE(FT_SetTimeouts(handle, 1000, 1000), FT_OK);
        pty->send(QByteArray::fromHex("3c05"));
        pty->hang_up();
        DWORD rx = 0, tx = 0, events = 0, count = 0;
        QByteArray buffer(70, '\0');
        const QList<FT_STATUS> statuses{FT_Read(handle, buffer.data(), 70, &count), FT_GetQueueStatus(handle, &rx),
                                        FT_GetStatus(handle, &rx, &tx, &events), FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX),
                                        FT_Write(handle, buffer.data(), 6, &count), FT_ResetDevice(handle)};
        QCOMPARE(statuses, QVector<FT_STATUS>(6, FT_IO_ERROR).toList());
        QCOMPARE(count, DWORD(0));
        QCOMPARE(FT_Close(handle), FT_OK);
        QCOMPARE(FT_GetQueueStatus(handle, &rx), FT_INVALID_HANDLE);
        handle = nullptr;
    }

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

QTEST_GUILESS_MAIN(tst_serial_port)
#include "tst_serial_port.moc"
