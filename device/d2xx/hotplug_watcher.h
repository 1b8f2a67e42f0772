#pragma once
#include <QByteArray>
#include <QObject>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Turns FTDI USB serial ports appearing and disappearing into device-change codes for the worker.
// Lives in the GUI thread; the program connects device_event to rv8_worker::smart_reconnect.
class hotplug_watcher : public QObject {
    Q_OBJECT

public:
    // source is the udev netlink group: "udev" (events after udevd's rules, with vendor ids) or
    // "kernel" (raw events, for machines without udevd).
    explicit hotplug_watcher(const QByteArray& source = QByteArrayLiteral("udev"), QObject* parent = nullptr);
    ~hotplug_watcher() override;

    // False, after logging why, when the monitor cannot be set up; connecting by hand still works.
    bool start();
    bool running() const { return monitor != nullptr; }

signals:
    void device_event(quint32 event);

public slots:
    // For devices udev does not see, such as a virtual unit being plugged or unplugged.
    void announce(quint32 event);

private slots:
    void receive();

private:
    void stop();

    QByteArray source;
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
};
