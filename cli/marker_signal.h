#pragma once
// SIGUSR1 as a request for a marker in the recording, read from a descriptor like Ctrl+C. The
// signal must be blocked before any thread starts (block()), or it ends the program as by default.

#include <QObject>

class QSocketNotifier;

class marker_signal : public QObject {
    Q_OBJECT
public:
    static void block();

    marker_signal();
    ~marker_signal() override;

signals:
    void requested();

private:
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
};
