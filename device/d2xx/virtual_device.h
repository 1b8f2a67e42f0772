#pragma once
#include "device/d2xx/d2xx_provider.h"
#include "device/d2xx/virtual_faults.h"
#include "sim/sim_unit.h"

#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <memory>

// One device the virtual provider lists: a simulated unit (or, without one, some other FTDI
// gadget that never answers), its driver faults and what the program wrote to it. The worker
// thread and a test thread may both reach it, so every access goes through its lock.
class virtual_device {
public:
    virtual_device(d2xx_device_info info, std::shared_ptr<sim_unit> unit);

    const d2xx_device_info& info() const { return device_info; }

    // Runs f(unit, faults) under the device's lock; unit is null for a device without one.
    template <typename F>
    auto with(F&& f)
    {
        QMutexLocker lock(&mutex);
        return f(unit.get(), faults);
    }

    // Every buffer the program handed to FT_Write, in order.
    QList<QByteArray> writes();
    void clear_writes();

    bool plugged();
    void set_plugged(bool plugged);
    bool is_open();

private:
    friend class virtual_port;

    d2xx_device_info device_info;
    std::shared_ptr<sim_unit> unit;
    virtual_faults faults;
    QList<QByteArray> written;
    bool present = true;
    bool opened = false;
    QMutex mutex;
};
