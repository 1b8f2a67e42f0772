#pragma once
#include "sim/sim_unit.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// Serves one virtual unit on a pseudo-terminal: the program opens the slave side as if it were
// the unit's USB serial port. Everything runs in the thread the host lives in; start() there.
class sim_pty_host : public QObject {
    Q_OBJECT

public:
    explicit sim_pty_host(sim_unit& unit, QObject* parent = nullptr);
    ~sim_pty_host() override;

    // False with error set when no pseudo-terminal can be had.
    bool start(QString* error = nullptr);
    QString slave_path() const { return path; }
    bool serving() const { return master >= 0; }
    // Bytes the unit sent that did not fit into the terminal and were lost, as in a full bridge.
    qint64 dropped() const { return dropped_bytes; }

public slots:
    // Closes the pseudo-terminal: to the program the unit has been unplugged.
    void hang_up();

private slots:
    void receive();
    void send();

private:
    bool fail(const char* what, QString* error);

    sim_unit& unit;
    int master = -1;
    // Held open so the terminal stays raw and the master never sees a hang-up between sessions.
    int slave = -1;
    QString path;
    QSocketNotifier* reader = nullptr;
    QTimer* ticker = nullptr;
    QByteArray pending;
    qint64 dropped_bytes = 0;
};
