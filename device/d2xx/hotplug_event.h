#pragma once
#include "device/d2xx/hotplug_record.h"

#include <QtGlobal>

// The device-change codes the worker's smart_reconnect understands.
enum : quint32 {
    hotplug_arrival = 0x8000,
    hotplug_removal = 0x8004,
};

// hotplug_arrival or hotplug_removal for an FTDI USB serial device being added or removed;
// 0 for every other device and action.
quint32 hotplug_event_code(const hotplug_record& record);
