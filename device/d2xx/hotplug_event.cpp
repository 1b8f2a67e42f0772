#include "device/d2xx/hotplug_event.h"

quint32 hotplug_event_code(const hotplug_record& record)
{
    if (record.subsystem != QLatin1String("tty") && record.subsystem != QLatin1String("usb-serial"))
        return 0;
    if (record.properties.value(QStringLiteral("ID_VENDOR_ID")).compare(QLatin1String("0403"), Qt::CaseInsensitive) != 0)
        return 0;
    if (record.action == QLatin1String("add"))
        return hotplug_arrival;
    if (record.action == QLatin1String("remove"))
        return hotplug_removal;
    return 0;
}
