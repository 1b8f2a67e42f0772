#include "cli/interrupt_watch.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
sigset_t stop_signals()
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    return mask;
}
}

void interrupt_watch::block_signals()
{
    const sigset_t mask = stop_signals();
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
}

interrupt_watch::interrupt_watch()
{
    const sigset_t mask = stop_signals();
    fd = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0)
        return;
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info;
        while (::read(fd, &info, sizeof info) == ssize_t(sizeof info))
            ++count;
        emit interrupted();
    });
}

interrupt_watch::~interrupt_watch()
{
    delete notifier;
    if (fd >= 0)
        ::close(fd);
}
