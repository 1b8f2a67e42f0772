#pragma once
#include <QHash>
#include <QString>

// What a udev event says about one device: enough to tell an FTDI serial port coming or going.
struct hotplug_record {
    QString action;
    QString subsystem;
    QHash<QString, QString> properties;
};
