#pragma once
// A virtual provider registered with the D2XX registry for the life of one test, with units added
// on demand. Removing it again keeps tests independent of each other.

#include "device/d2xx/d2xx_registry.h"
#include "device/d2xx/virtual_provider.h"
#include "sim/sim_unit.h"

#include <QThread>

class virtual_bench {
public:
    // Scoped to this thread, the units are listed to it alone, so that benches in several threads
    // at once each find their own.
    explicit virtual_bench(bool this_thread_only = false)
        : scope(this_thread_only ? QThread::currentThread() : nullptr), listed(this)
    {
        d2xx_registry::instance().add_provider(&listed);
    }
    ~virtual_bench() { d2xx_registry::instance().remove_provider(&listed); }

    std::shared_ptr<virtual_device> add_unit(const QString& serial = QStringLiteral("RV8A0001"),
                                             sim_config config = {})
    {
        auto unit = std::make_shared<sim_unit>(config);
        units.append(unit);
        return provider.add_unit(unit, serial);
    }

    sim_unit& unit(int i = 0) { return *units[i]; }

    virtual_provider provider;
    QList<std::shared_ptr<sim_unit>> units;

private:
    struct scoped_provider : d2xx_provider {
        virtual_bench* bench;
        explicit scoped_provider(virtual_bench* b) : bench(b) {}
        QList<d2xx_device_info> devices() override
        {
            return !bench->scope || QThread::currentThread() == bench->scope ? bench->provider.devices()
                                                                              : QList<d2xx_device_info>();
        }
        std::unique_ptr<d2xx_port> open(const QString& serial, FT_STATUS* status) override
        {
            return bench->provider.open(serial, status);
        }
    };
    QThread* scope;
    scoped_provider listed;
};

// Runs f(unit, faults) under the device's lock.
template <typename F>
void configure(const std::shared_ptr<virtual_device>& device, F&& f)
{
    device->with([&](sim_unit* unit, virtual_faults& faults) {
        f(*unit, faults);
        return 0;
    });
}
