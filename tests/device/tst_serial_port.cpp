// The serial provider over a pseudo-terminal that the test drives byte by byte from the master side.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/ftd2xx.h"
#include "device/d2xx/serial_provider.h"
#include "tests/support/log_capture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
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
    void hang_up()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    void send(const QByteArray& bytes) const { QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size())); }
    QByteArray receive(int count) const
    {
        QByteArray got;
        pollfd p {master, POLLIN, 0};
        while (got.size() < count && ::poll(&p, 1, 2000) > 0) {
            char buf[256];
            const ssize_t n = ::read(master, buf, size_t(std::min<int>(count - got.size(), sizeof buf)));
            if (n <= 0)
                break;
            got.append(buf, int(n));
        }
        return got;
    }
};

// Every byte value, which a cooked tty would translate, swallow or turn into signals.
QByteArray all_bytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}
}

class tst_serial_port : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void named_port_listed_while_its_path_exists();
    void opens_by_serial_number_only();
    void second_open_is_refused_until_close();
    void bytes_pass_unaltered_both_ways();
    void queue_and_status_count_waiting_bytes();
    void purge_discards_stale_bytes();
    void read_returns_what_arrived_and_keeps_the_rest();
    void latency_timer_written_to_sysfs();
    void unwritable_latency_timer_warns_once_and_opens();
    void hung_up_port_fails_every_call();

private:
    FT_HANDLE open_port();

    std::unique_ptr<pty_pair> pty;
    std::unique_ptr<serial_provider> provider;
    std::unique_ptr<QTemporaryDir> sysfs;
};

void tst_serial_port::init()
{
    pty = std::make_unique<pty_pair>();
    QVERIFY(!pty->slave.isEmpty());
    sysfs = std::make_unique<QTemporaryDir>();
    provider = std::make_unique<serial_provider>(false, sysfs->path());
    provider->add_port(pty->slave, QStringLiteral("KIRRA 3"), QStringLiteral("RV8PTY01"));
    d2xx_registry::instance().add_provider(provider.get());
}

void tst_serial_port::cleanup()
{
    d2xx_registry::instance().remove_provider(provider.get());
    provider.reset();
    pty.reset();
}

FT_HANDLE tst_serial_port::open_port()
{
    DWORD count = 0;
    FT_HANDLE handle = nullptr;
    if (FT_CreateDeviceInfoList(&count) != FT_OK)
        return nullptr;
    char serial[] = "RV8PTY01";
    if (FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle) != FT_OK)
        return nullptr;
    FT_SetTimeouts(handle, 200, 200);
    return handle;
}

void tst_serial_port::named_port_listed_while_its_path_exists()
{
    provider->add_port(QStringLiteral("/dev/no-such-tty"), QStringLiteral("KIRRA 3"), QStringLiteral("GONE0001"));
    DWORD count = 0;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
    QCOMPARE(count, DWORD(1));
    FT_DEVICE_LIST_INFO_NODE node[2] {};
    QCOMPARE(FT_GetDeviceInfoList(node, &count), FT_OK);
    QCOMPARE(QByteArray(node[0].Description), QByteArray("KIRRA 3"));
    QCOMPARE(QByteArray(node[0].SerialNumber), QByteArray("RV8PTY01"));

    provider->add_port(pty->slave, QStringLiteral("KIRRA 3"), QStringLiteral("RV8PTY02"));
    QCOMPARE(provider->devices().size(), 1);
    QCOMPARE(provider->devices().first().serial_number, QStringLiteral("RV8PTY02"));
    provider->remove_port(pty->slave);
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
    QCOMPARE(count, DWORD(0));
}

void tst_serial_port::opens_by_serial_number_only()
{
    DWORD count = 0;
    FT_HANDLE handle = nullptr;
    QCOMPARE(FT_CreateDeviceInfoList(&count), FT_OK);
    char other[] = "RV8PTY99";
    QCOMPARE(FT_OpenEx(other, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
    QVERIFY(!handle);
    handle = open_port();
    QVERIFY(handle);
    QCOMPARE(FT_Close(handle), FT_OK);
}

void tst_serial_port::second_open_is_refused_until_close()
{
    FT_HANDLE first = open_port();
    QVERIFY(first);
    FT_HANDLE second = nullptr;
    char serial[] = "RV8PTY01";
    QCOMPARE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
    QCOMPARE(FT_Close(first), FT_OK);
    QCOMPARE(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &second), FT_OK);
    QCOMPARE(FT_Close(second), FT_OK);
}

void tst_serial_port::bytes_pass_unaltered_both_ways()
{
    FT_HANDLE handle = open_port();
    QVERIFY(handle);
    QByteArray out = all_bytes();
    DWORD written = 0;
    QCOMPARE(FT_Write(handle, out.data(), DWORD(out.size()), &written), FT_OK);
    QCOMPARE(written, DWORD(256));
    QCOMPARE(pty->receive(256), out);

    pty->send(all_bytes());
    QByteArray in(256, '\0');
    DWORD received = 0;
    QCOMPARE(FT_Read(handle, in.data(), 256, &received), FT_OK);
    QCOMPARE(received, DWORD(256));
    QCOMPARE(in, all_bytes());
    QCOMPARE(FT_Close(handle), FT_OK);
}

void tst_serial_port::queue_and_status_count_waiting_bytes()
{
    FT_HANDLE handle = open_port();
    QVERIFY(handle);
    DWORD rx = 99;
    QCOMPARE(FT_GetQueueStatus(handle, &rx), FT_OK);
    QCOMPARE(rx, DWORD(0));
    pty->send(QByteArray::fromHex("3c05fa0175"));
    // The pty hands bytes over asynchronously; wait for them without timing anything.
    QTRY_COMPARE((FT_GetQueueStatus(handle, &rx), rx), DWORD(5));
    DWORD tx = 99, events = 99;
    QCOMPARE(FT_GetStatus(handle, &rx, &tx, &events), FT_OK);
    QCOMPARE(rx, DWORD(5));
    QCOMPARE(tx, DWORD(0));
    QCOMPARE(events, DWORD(0));
    QCOMPARE(FT_Close(handle), FT_OK);
}

void tst_serial_port::purge_discards_stale_bytes()
{
    FT_HANDLE handle = open_port();
    QVERIFY(handle);
    DWORD rx = 0;
    pty->send(QByteArray(100, char(0xAA)));
    QTRY_COMPARE((FT_GetQueueStatus(handle, &rx), rx), DWORD(100));
    QCOMPARE(FT_Purge(handle, FT_PURGE_TX), FT_OK);
    QCOMPARE((FT_GetQueueStatus(handle, &rx), rx), DWORD(100));
    QCOMPARE(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    QCOMPARE((FT_GetQueueStatus(handle, &rx), rx), DWORD(0));

    pty->send(QByteArray::fromHex("3c05fa"));
    QByteArray in(3, '\0');
    DWORD received = 0;
    QCOMPARE(FT_Read(handle, in.data(), 3, &received), FT_OK);
    QCOMPARE(in.left(int(received)), QByteArray::fromHex("3c05fa"));
    QCOMPARE(FT_Close(handle), FT_OK);
}

void tst_serial_port::read_returns_what_arrived_and_keeps_the_rest()
{
    FT_HANDLE handle = open_port();
    QVERIFY(handle);
    QByteArray record(70, '\0');
    for (int i = 0; i < 70; ++i)
        record[i] = char(i * 3);
    pty->send(record.left(30));
    DWORD rx = 0;
    QTRY_COMPARE((FT_GetQueueStatus(handle, &rx), rx), DWORD(30));
    QByteArray in(70, '\0');
    DWORD received = 0;
    QCOMPARE(FT_Read(handle, in.data(), 20, &received), FT_OK);
    QCOMPARE(in.left(int(received)), record.left(20));
    QCOMPARE((FT_GetQueueStatus(handle, &rx), rx), DWORD(10));

    // Asking for more than is there: the time-out ends the read with what came.
    QCOMPARE(FT_Read(handle, in.data(), 70, &received), FT_OK);
    QCOMPARE(in.left(int(received)), record.mid(20, 10));
    pty->send(record);
    QCOMPARE(FT_Read(handle, in.data(), 70, &received), FT_OK);
    QCOMPARE(received, DWORD(70));
    QCOMPARE(in, record);
    QCOMPARE(FT_Close(handle), FT_OK);
}

void tst_serial_port::latency_timer_written_to_sysfs()
{
    const QString name = QFileInfo(pty->slave).fileName();
    QVERIFY(QDir(sysfs->path()).mkpath(name));
    QFile timer(sysfs->path() + '/' + name + "/latency_timer");
    QVERIFY(timer.open(QIODevice::WriteOnly));
    timer.write("16\n");
    timer.close();

    log_capture log;
    FT_HANDLE handle = open_port();
    QVERIFY(handle);
    QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_OK);
    QVERIFY(timer.open(QIODevice::ReadOnly));
    QCOMPARE(timer.readAll(), QByteArray("2\n"));
    QVERIFY(log.texts(QtWarningMsg).isEmpty());
    QCOMPARE(FT_Close(handle), FT_OK);
}

void tst_serial_port::unwritable_latency_timer_warns_once_and_opens()
{
    const QString name = QFileInfo(pty->slave).fileName();
    // A directory in the file's place cannot be written even by root.
    QVERIFY(QDir(sysfs->path()).mkpath(name + "/latency_timer"));

    log_capture log;
    FT_HANDLE handle = open_port();
    QVERIFY(handle);
    QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_OK);
    QCOMPARE(FT_SetLatencyTimer(handle, 2), FT_OK);
    const QString expected = QStringLiteral("Cannot set the latency timer of %1 (%2/%3/latency_timer: Is a directory), "
                                            "replies will come slower")
                                 .arg(pty->slave, sysfs->path(), name);
    QCOMPARE(log.texts(QtWarningMsg), QStringList {expected});

    QByteArray out("\xC3\x05\x00\x01\xB6\x71", 6);
    DWORD written = 0;
    QCOMPARE(FT_Write(handle, out.data(), 6, &written), FT_OK);
    QCOMPARE(pty->receive(6), out);
    QCOMPARE(FT_Close(handle), FT_OK);
}

void tst_serial_port::hung_up_port_fails_every_call()
{
    FT_HANDLE handle = open_port();
    QVERIFY(handle);
    QCOMPARE(FT_SetTimeouts(handle, 1000, 1000), FT_OK);
    pty->send(QByteArray::fromHex("3c05"));
    pty->hang_up();

    DWORD rx = 0, tx = 0, events = 0, count = 0;
    QByteArray buffer(70, '\0');
    QCOMPARE(FT_Read(handle, buffer.data(), 70, &count), FT_IO_ERROR);
    QCOMPARE(FT_GetQueueStatus(handle, &rx), FT_IO_ERROR);
    QCOMPARE(FT_GetStatus(handle, &rx, &tx, &events), FT_IO_ERROR);
    QCOMPARE(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_IO_ERROR);
    QCOMPARE(FT_Write(handle, buffer.data(), 6, &count), FT_IO_ERROR);
    QCOMPARE(count, DWORD(0));
    QCOMPARE(FT_ResetDevice(handle), FT_IO_ERROR);
    QCOMPARE(FT_Close(handle), FT_OK);
    QCOMPARE(FT_GetQueueStatus(handle, &rx), FT_INVALID_HANDLE);
}

QTEST_GUILESS_MAIN(tst_serial_port)
#include "tst_serial_port.moc"
