#include "cli/marker_signal.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
sigset_t marker_mask()
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGUSR1);
    return mask;
}
}

void marker_signal::block()
{
    const sigset_t mask = marker_mask();
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
}

marker_signal::marker_signal()
{
    const sigset_t mask = marker_mask();
    fd = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0)
        return;
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info;
        while (::read(fd, &info, sizeof info) == ssize_t(sizeof info))
            emit requested();
    });
}

marker_signal::~marker_signal()
{
    delete notifier;
    if (fd >= 0)
        ::close(fd);
}
