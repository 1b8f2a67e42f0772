#include "cli/unit_filter.h"

#include "device/d2xx/d2xx_registry.h"

unit_filter::unit_filter(QVector<d2xx_provider*> providers, QString serial_number)
    : inner(std::move(providers)), serial(std::move(serial_number))
{
    for (d2xx_provider* p : qAsConst(inner))
        d2xx_registry::instance().remove_provider(p);
    d2xx_registry::instance().add_provider(this);
}

unit_filter::~unit_filter()
{
    d2xx_registry::instance().remove_provider(this);
}

void unit_filter::pin(d2xx_provider* holder, const d2xx_device_info& info)
{
    serial = info.serial_number;
    pinned = holder;
    pinned_info = info;
}

QList<d2xx_device_info> unit_filter::devices()
{
    if (pinned)
        return {pinned_info};
    QList<d2xx_device_info> out;
    for (d2xx_provider* p : qAsConst(inner))
        for (const d2xx_device_info& info : p->devices())
            if (info.serial_number == serial)
                out.append(info);
    return out;
}

std::unique_ptr<d2xx_port> unit_filter::open(const QString& serial_number, FT_STATUS* status)
{
    *status = FT_DEVICE_NOT_FOUND;
    if (serial_number != serial)
        return nullptr;
    if (pinned)
        return pinned->open(serial_number, status);
    for (d2xx_provider* p : qAsConst(inner))
        for (const d2xx_device_info& info : p->devices())
            if (info.serial_number == serial)
                return p->open(serial_number, status);
    return nullptr;
}
