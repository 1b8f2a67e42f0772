#pragma once
// A virtual unit served on a pseudo-terminal from a thread of its own, as rv8-sim would serve it,
// so that the worker can block in the test's thread while the unit keeps answering.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/serial_provider.h"
#include "device/rv8.h"
#include "sim/sim_pty_host.h"
#include "sim/sim_unit.h"

#include <QThread>
#include <QTimer>
#include <memory>

class serial_bench {
public:
    explicit serial_bench(sim_config config = {}) : unit(config), host(new sim_pty_host(unit))
    {
        host->moveToThread(&thread);
        thread.start();
        in_host([this] { started = host->start(); });
        provider.add_port(host->slave_path(), QStringLiteral("KIRRA 3"), QStringLiteral("PTY00001"));
        d2xx_registry::instance().add_provider(&provider);
    }
    ~serial_bench()
    {
        worker.reset();
        d2xx_registry::instance().remove_provider(&provider);
        hang_up();
        thread.quit();
        thread.wait();
    }

    bool open()
    {
        worker->open();
        return started && worker->is_open();
    }
    // The reply's hex, or the failing status followed by whatever reply was left.
    QByteArray ask(const char* frame, int length)
    {
        QByteArray msg = QByteArray::fromHex(frame), reply;
        const FT_STATUS status = worker->get_param(msg, reply, length);
        return status == FT_OK ? reply.toHex() : "status " + QByteArray::number(int(status)) + reply.toHex();
    }
    // The unit is touched only from the host's thread.
    template <typename F>
    void in_host(F&& f)
    {
        QMetaObject::invokeMethod(host.get(), std::forward<F>(f), Qt::BlockingQueuedConnection);
    }
    // Closes the master side now, or from the host's event loop after a while.
    void hang_up(int after_ms = -1)
    {
        in_host([this, after_ms] {
            after_ms < 0 ? host->hang_up() : QTimer::singleShot(after_ms, host.get(), &sim_pty_host::hang_up);
        });
    }

    sim_unit unit;
    serial_provider provider {false};
    std::unique_ptr<rv8_worker> worker = std::make_unique<rv8_worker>();

private:
    QThread thread;
    std::unique_ptr<sim_pty_host> host;
    bool started = false;
};
