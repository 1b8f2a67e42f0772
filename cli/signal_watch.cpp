#include "cli/signal_watch.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
sigset_t mask_of(std::initializer_list<int> numbers)
{
    sigset_t mask;
    sigemptyset(&mask);
    for (int n : numbers)
        sigaddset(&mask, n);
    return mask;
}
}

void signal_watch::block(std::initializer_list<int> numbers)
{
    const sigset_t mask = mask_of(numbers);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
}

signal_watch::signal_watch(std::initializer_list<int> numbers)
{
    const sigset_t mask = mask_of(numbers);
    fd = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd < 0)
        return;
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info;
        while (::read(fd, &info, sizeof info) == ssize_t(sizeof info)) {
            ++count;
            emit arrived();
        }
    });
}

signal_watch::~signal_watch()
{
    delete notifier;
    if (fd >= 0)
        ::close(fd);
}
