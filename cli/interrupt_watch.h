#pragma once
// Ctrl+C (and SIGTERM) as an event: the signals are blocked in every thread and read from a
// descriptor, so a command ends its work cleanly instead of dying mid-exchange.

#include <QObject>

class QSocketNotifier;

class interrupt_watch : public QObject {
    Q_OBJECT
public:
    // Before any thread starts, so that every thread inherits the mask.
    static void block_signals();

    interrupt_watch();
    ~interrupt_watch() override;

    bool requested() const { return count > 0; }

signals:
    void interrupted();

private:
    int fd = -1;
    int count = 0;
    QSocketNotifier* notifier = nullptr;
};
