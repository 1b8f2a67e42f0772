#pragma once
#include "device/d2xx/d2xx_provider.h"
#include "device/d2xx/virtual_device.h"

#include <QMutex>
#include <QVector>
#include <memory>

// Hosts simulated units in this process (the program's --virtual-unit, and the tests). A device
// that is unplugged drops out of the list and its open port fails every call.
class virtual_provider : public d2xx_provider {
public:
    std::shared_ptr<virtual_device> add_unit(std::shared_ptr<sim_unit> unit, const QString& serial_number,
                                             const QString& description = QStringLiteral("KIRRA 3"));
    // Some other FTDI device: listed, opens, never answers.
    std::shared_ptr<virtual_device> add_device(const QString& description, const QString& serial_number);
    void remove(const std::shared_ptr<virtual_device>& device);

    QList<d2xx_device_info> devices() override;
    std::unique_ptr<d2xx_port> open(const QString& serial_number, FT_STATUS* status) override;

private:
    QMutex mutex;
    QVector<std::shared_ptr<virtual_device>> listed;
};
