#pragma once
// Shows the device layer only the unit with one serial number, so that the worker, which opens the
// last unit it finds, opens that one. Takes the place of the sources' providers in the registry
// while it lives.

#include "device/d2xx/d2xx_provider.h"

#include <QString>
#include <QVector>

class unit_filter : public d2xx_provider {
public:
    unit_filter(QVector<d2xx_provider*> inner, QString serial);
    ~unit_filter() override;
    unit_filter(const unit_filter&) = delete;
    unit_filter& operator=(const unit_filter&) = delete;

    // The unit is known: from now on it is listed and opened without asking the providers again,
    // each of which would scan the machine's serial ports.
    void pin(d2xx_provider* holder, const d2xx_device_info& info);

    QList<d2xx_device_info> devices() override;
    std::unique_ptr<d2xx_port> open(const QString& serial_number, FT_STATUS* status) override;

private:
    QVector<d2xx_provider*> inner;
    QString serial;
    d2xx_provider* pinned = nullptr;
    d2xx_device_info pinned_info;
};
