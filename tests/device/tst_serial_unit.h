#pragma once
// A virtual unit served on a pseudo-terminal from a thread of its own, as rv8-sim would serve it,
// so that the worker can block in the test's thread while the unit keeps answering.

#include "sim/sim_pty_host.h"
#include "sim/sim_unit.h"

#include <QThread>
#include <QTimer>
#include <memory>

class pty_unit {
public:
    explicit pty_unit(sim_config config = {}) : unit(config), host(new sim_pty_host(unit))
    {
        host->moveToThread(&thread);
        thread.start();
        in_host([this] { started = host->start(); });
    }
    ~pty_unit()
    {
        hang_up();
        thread.quit();
        thread.wait();
    }

    bool ok() const { return started; }
    QString path() const { return host->slave_path(); }
    // The unit is touched only from the host's thread.
    template <typename F>
    void in_host(F&& f)
    {
        QMetaObject::invokeMethod(host.get(), std::forward<F>(f), Qt::BlockingQueuedConnection);
    }
    void hang_up()
    {
        in_host([this] { host->hang_up(); });
    }
    void hang_up_after(int ms)
    {
        in_host([this, ms] { QTimer::singleShot(ms, host.get(), &sim_pty_host::hang_up); });
    }

    sim_unit unit;

private:
    QThread thread;
    std::unique_ptr<sim_pty_host> host;
    bool started = false;
};
