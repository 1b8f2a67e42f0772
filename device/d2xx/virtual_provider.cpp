#include "device/d2xx/virtual_provider.h"
#include "device/d2xx/virtual_port.h"

std::shared_ptr<virtual_device> virtual_provider::add_unit(std::shared_ptr<sim_unit> unit,
                                                           const QString& serial_number,
                                                           const QString& description)
{
    d2xx_device_info info;
    info.description = description;
    info.serial_number = serial_number;
    QMutexLocker lock(&mutex);
    info.location = DWORD(listed.size() + 1);
    auto device = std::make_shared<virtual_device>(info, std::move(unit));
    listed.append(device);
    return device;
}

std::shared_ptr<virtual_device> virtual_provider::add_device(const QString& description,
                                                             const QString& serial_number)
{
    return add_unit(nullptr, serial_number, description);
}

void virtual_provider::remove(const std::shared_ptr<virtual_device>& device)
{
    QMutexLocker lock(&mutex);
    listed.removeAll(device);
}

QList<d2xx_device_info> virtual_provider::devices()
{
    QMutexLocker lock(&mutex);
    QList<d2xx_device_info> out;
    for (const auto& device : listed)
        if (device->plugged())
            out.append(device->info());
    return out;
}

std::unique_ptr<d2xx_port> virtual_provider::open(const QString& serial_number, FT_STATUS* status)
{
    QMutexLocker lock(&mutex);
    for (const auto& device : listed) {
        if (device->info().serial_number != serial_number || !device->plugged())
            continue;
        *status = device->with([](sim_unit*, virtual_faults& f) { return f.take(d2xx_call::open); });
        if (*status != FT_OK)
            return nullptr;
        if (device->is_open()) {
            *status = FT_DEVICE_NOT_OPENED; // the bridge allows one handle at a time
            return nullptr;
        }
        return std::make_unique<virtual_port>(device);
    }
    *status = FT_DEVICE_NOT_FOUND;
    return nullptr;
}
