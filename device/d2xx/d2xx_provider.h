#pragma once
#include "device/d2xx/d2xx_port.h"

#include <QList>
#include <QString>
#include <memory>

struct d2xx_device_info {
    QString description;
    QString serial_number;
    ULONG type = 5; // FT232R, what the unit's bridge reports
    ULONG id = 0x04036001;
    DWORD location = 0;
};

// A source of devices: the serial ports of the machine, or virtual units in this process.
class d2xx_provider {
public:
    virtual ~d2xx_provider() = default;
    virtual QList<d2xx_device_info> devices() = 0;
    // Opens the device listed with this serial number; null with *status set when it cannot.
    virtual std::unique_ptr<d2xx_port> open(const QString& serial_number, FT_STATUS* status) = 0;
};
