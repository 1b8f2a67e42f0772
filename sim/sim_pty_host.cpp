#include "sim/sim_pty_host.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {
// More than the bridge's buffers hold: beyond this a host that does not read loses bytes.
const int max_pending = 64 * 1024;
}

sim_pty_host::sim_pty_host(sim_unit& unit, QObject* parent) : QObject(parent), unit(unit)
{
}

sim_pty_host::~sim_pty_host()
{
    hang_up();
}

bool sim_pty_host::fail(const char* what, QString* error)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
    hang_up();
    return false;
}

bool sim_pty_host::start(QString* error)
{
    if (master >= 0)
        return true;
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        return fail("posix_openpt", error);
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0)
        return fail("pseudo-terminal setup", error);
    path = QString::fromLocal8Bit(name);
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t {};
    if (slave < 0 || ::tcgetattr(slave, &t) != 0)
        return fail(name, error);
    // Without this the terminal would echo, translate line ends and raise signals on unit bytes.
    ::cfmakeraw(&t);
    if (::tcsetattr(slave, TCSANOW, &t) != 0)
        return fail(name, error);

    reader = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(reader, &QSocketNotifier::activated, this, &sim_pty_host::receive);
    ticker = new QTimer(this);
    ticker->setTimerType(Qt::PreciseTimer);
    ticker->setInterval(1);
    connect(ticker, &QTimer::timeout, this, &sim_pty_host::send);
    ticker->start();
    return true;
}

void sim_pty_host::hang_up()
{
    delete reader;
    reader = nullptr;
    delete ticker;
    ticker = nullptr;
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    master = slave = -1;
    pending.clear();
}

void sim_pty_host::receive()
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (!bytes.isEmpty())
        unit.receive(bytes, sim_clock::now());
}

void sim_pty_host::send()
{
    if (master < 0)
        return;
    const QByteArray out = unit.take_output(sim_clock::now());
    const int room = max_pending - pending.size();
    pending.append(out.left(room));
    dropped_bytes += std::max(0, out.size() - room);
    while (!pending.isEmpty()) {
        const ssize_t n = ::write(master, pending.constData(), size_t(pending.size()));
        if (n > 0)
            pending.remove(0, int(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
}
