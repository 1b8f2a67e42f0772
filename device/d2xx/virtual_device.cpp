#include "device/d2xx/virtual_device.h"

virtual_device::virtual_device(d2xx_device_info info, std::shared_ptr<sim_unit> unit)
    : device_info(std::move(info)), unit(std::move(unit))
{
}

QList<QByteArray> virtual_device::writes()
{
    QMutexLocker lock(&mutex);
    return written;
}

void virtual_device::clear_writes()
{
    QMutexLocker lock(&mutex);
    written.clear();
}

bool virtual_device::plugged()
{
    QMutexLocker lock(&mutex);
    return present;
}

void virtual_device::set_plugged(bool plugged)
{
    QMutexLocker lock(&mutex);
    present = plugged;
}

bool virtual_device::is_open()
{
    QMutexLocker lock(&mutex);
    return opened;
}
