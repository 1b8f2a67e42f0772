#include "device/d2xx/serial_port.h"

#include <QDeadlineTimer>
#include <QtDebug>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
bool make_raw(int fd)
{
    termios t {};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS | CSIZE);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

int remaining_ms(const QDeadlineTimer& deadline)
{
    const qint64 ns = deadline.remainingTimeNSecs();
    return ns <= 0 ? 0 : int((ns + 999999) / 1000000);
}

QByteArray current_latency(const QByteArray& file)
{
    char text[16] = {};
    const int in = ::open(file.constData(), O_RDONLY | O_CLOEXEC);
    const ssize_t n = in >= 0 ? ::read(in, text, sizeof text - 1) : -1;
    if (in >= 0)
        ::close(in);
    return n > 0 ? QByteArray(text, int(n)).trimmed() : QByteArray();
}

// Errors after which the tty is not coming back.
bool hung_up(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}
}

serial_port::serial_port(int fd, const QString& path, const QString& sysfs_dir)
    : fd(fd), path(path), sysfs_dir(sysfs_dir)
{
}

serial_port::~serial_port()
{
    close();
}

int serial_port::open_raw(const QString& path, FT_STATUS* status)
{
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            qWarning("Cannot open %s: permission denied (is the user in the dialout group?)", name.constData());
        *status = error == ENOENT || error == ENODEV || error == ENXIO ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
        return -1;
    }
    // The vendor driver opens a device for one process only; the lock keeps a second instance of
    // the program off the same port and goes away with the process.
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        *status = FT_DEVICE_NOT_OPENED;
        return -1;
    }
    if (!make_raw(fd) || ::tcflush(fd, TCIOFLUSH) != 0) {
        ::close(fd);
        *status = FT_IO_ERROR;
        return -1;
    }
    *status = FT_OK;
    return fd;
}

FT_STATUS serial_port::lost(const char* call)
{
    if (!gone)
        qDebug("%s: %s failed, the port is gone", qPrintable(path), call);
    gone = true;
    return FT_IO_ERROR;
}

bool serial_port::wait_for(short events, int timeout_ms, bool* ready)
{
    pollfd p {fd, events, 0};
    int n;
    do
        n = ::poll(&p, 1, timeout_ms);
    while (n < 0 && errno == EINTR);
    if (n < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return false;
    *ready = n > 0;
    return true;
}

FT_STATUS serial_port::set_timeouts(ULONG read_ms, ULONG write_ms)
{
    if (gone)
        return FT_IO_ERROR;
    read_timeout_ms = read_ms;
    write_timeout_ms = write_ms;
    return FT_OK;
}

FT_STATUS serial_port::set_latency_timer(UCHAR ms)
{
    if (gone)
        return FT_IO_ERROR;
    if (sysfs_dir.isEmpty())
        return FT_OK;
    const QByteArray file = (sysfs_dir + QStringLiteral("/latency_timer")).toLocal8Bit();
    const QByteArray value = QByteArray::number(ms) + '\n';
    // A udev rule may have set it already for users who may not write it themselves.
    if (current_latency(file) == value.trimmed())
        return FT_OK;
    const int out = ::open(file.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    const bool done = out >= 0 && ::write(out, value.constData(), size_t(value.size())) == value.size();
    const int error = errno;
    if (out >= 0)
        ::close(out);
    // The link works without it, only with longer pauses before short replies come in.
    if (!done && !latency_warned) {
        qWarning("Cannot set the latency timer of %s (%s: %s), replies will come slower", qPrintable(path),
                 file.constData(), std::strerror(error));
        latency_warned = true;
    }
    return FT_OK;
}

// Bytes a write has reported as written belong to the unit. tcflush(TCOFLUSH) would throw away
// whatever the kernel has not sent yet (the lone "\r" before a firmware image, for one), so the
// transmit side is let drain, for at most the write time-out, and never discarded.
FT_STATUS serial_port::drain_output()
{
    const QDeadlineTimer deadline{qint64(write_timeout_ms)};
    for (;;) {
        int pending = 0;
        if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
            return lost("TIOCOUTQ");
        if (pending <= 0 || deadline.hasExpired())
            return FT_OK;
        ::usleep(500);
    }
}

FT_STATUS serial_port::purge(ULONG mask)
{
    if (gone)
        return FT_IO_ERROR;
    if (mask & FT_PURGE_TX) {
        if (FT_STATUS status = drain_output())
            return status;
    }
    if ((mask & FT_PURGE_RX) && ::tcflush(fd, TCIFLUSH) != 0)
        return hung_up(errno) ? lost("purge") : FT_IO_ERROR;
    return FT_OK;
}

FT_STATUS serial_port::write(const char* data, DWORD length, DWORD* written)
{
    *written = 0;
    if (gone)
        return FT_IO_ERROR;
    const QDeadlineTimer deadline{qint64(write_timeout_ms)};
    while (*written < length) {
        const ssize_t n = ::write(fd, data + *written, length - *written);
        if (n > 0) {
            *written += DWORD(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return lost("write");
        const int wait = remaining_ms(deadline);
        bool ready = false;
        if (wait == 0)
            break;
        if (!wait_for(POLLOUT, wait, &ready))
            return lost("write");
    }
    return FT_OK;
}

FT_STATUS serial_port::read(char* data, DWORD length, DWORD* received)
{
    *received = 0;
    if (gone)
        return FT_IO_ERROR;
    const QDeadlineTimer deadline{qint64(read_timeout_ms)};
    while (*received < length) {
        const ssize_t n = ::read(fd, data + *received, length - *received);
        if (n > 0) {
            *received += DWORD(n);
            continue;
        }
        // With O_NONBLOCK an empty tty says EAGAIN; end of file means it hung up.
        if (n == 0)
            return lost("read");
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return lost("read");
        const int wait = remaining_ms(deadline);
        bool ready = false;
        if (wait == 0)
            break;
        if (!wait_for(POLLIN, wait, &ready))
            return lost("read");
    }
    return FT_OK;
}

FT_STATUS serial_port::queue_status(DWORD* rx_bytes)
{
    *rx_bytes = 0;
    if (gone)
        return FT_IO_ERROR;
    int queued = 0;
    if (::ioctl(fd, FIONREAD, &queued) != 0)
        return lost("FIONREAD");
    *rx_bytes = DWORD(queued);
    return FT_OK;
}

FT_STATUS serial_port::status(DWORD* rx_bytes, DWORD* tx_bytes, DWORD* events)
{
    *tx_bytes = 0;
    *events = 0;
    const FT_STATUS rx = queue_status(rx_bytes);
    if (rx != FT_OK)
        return rx;
    int pending = 0;
    if (::ioctl(fd, TIOCOUTQ, &pending) != 0)
        return lost("TIOCOUTQ");
    *tx_bytes = DWORD(pending);
    return FT_OK;
}

FT_STATUS serial_port::reset_device()
{
    if (gone)
        return FT_IO_ERROR;
    if (FT_STATUS status = drain_output())
        return status;
    if (!make_raw(fd) || ::tcflush(fd, TCIFLUSH) != 0)
        return hung_up(errno) ? lost("reset") : FT_IO_ERROR;
    return FT_OK;
}

FT_STATUS serial_port::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    gone = true;
    return FT_OK;
}
