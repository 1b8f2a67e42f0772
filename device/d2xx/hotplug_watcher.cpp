#include "device/d2xx/hotplug_watcher.h"
#include "device/d2xx/hotplug_event.h"

#include <QSocketNotifier>
#include <QtDebug>
#include <libudev.h>

namespace {
hotplug_record record_of(udev_device* device)
{
    hotplug_record record;
    record.action = QString::fromLatin1(udev_device_get_action(device));
    record.subsystem = QString::fromLatin1(udev_device_get_subsystem(device));
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device))
        record.properties.insert(QString::fromLatin1(udev_list_entry_get_name(entry)),
                                 QString::fromUtf8(udev_list_entry_get_value(entry)));
    return record;
}
}

hotplug_watcher::hotplug_watcher(const QByteArray& source, QObject* parent) : QObject(parent), source(source)
{
}

hotplug_watcher::~hotplug_watcher()
{
    stop();
}

bool hotplug_watcher::start()
{
    if (monitor)
        return true;
    context = udev_new();
    monitor = context ? udev_monitor_new_from_netlink(context, source.constData()) : nullptr;
    const bool ok = monitor && udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) >= 0
        && udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb-serial", nullptr) >= 0
        && udev_monitor_enable_receiving(monitor) >= 0;
    if (!ok) {
        qCritical("Error: Failed to register device notification!");
        stop();
        return false;
    }
    notifier = new QSocketNotifier(udev_monitor_get_fd(monitor), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &hotplug_watcher::receive);
    return true;
}

void hotplug_watcher::stop()
{
    delete notifier;
    notifier = nullptr;
    if (monitor)
        udev_monitor_unref(monitor);
    monitor = nullptr;
    if (context)
        udev_unref(context);
    context = nullptr;
}

void hotplug_watcher::announce(quint32 event)
{
    emit device_event(event);
}

void hotplug_watcher::receive()
{
    udev_device* device = udev_monitor_receive_device(monitor);
    if (!device)
        return;
    const quint32 code = hotplug_event_code(record_of(device));
    udev_device_unref(device);
    if (code)
        emit device_event(code);
}
