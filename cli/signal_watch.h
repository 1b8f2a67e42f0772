#pragma once
// Signals as events: blocked in every thread and read from a descriptor, so that Ctrl+C ends a
// command's work cleanly instead of killing it mid-exchange, and SIGUSR1 can ask for a marker.
// block() must run before any thread starts, so that every thread inherits the mask.

#include <QObject>

#include <initializer_list>

class QSocketNotifier;

class signal_watch : public QObject {
    Q_OBJECT
public:
    static void block(std::initializer_list<int> numbers);

    explicit signal_watch(std::initializer_list<int> numbers);
    ~signal_watch() override;

    bool requested() const { return count > 0; }

signals:
    void arrived();

private:
    int fd = -1;
    int count = 0;
    QSocketNotifier* notifier = nullptr;
};
