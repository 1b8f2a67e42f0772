#pragma once
// The worker that owns everything touching the unit, and the controller that gives it a thread.

#include "device/d2xx/ftd2xx.h"
#include "model/ids.h"
#include "model/rv8_link.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

class QTimer;
class rv8_vars;

class rv8_worker : public QObject, public rv8_link {
    Q_OBJECT

public:
    rv8_worker();
    ~rv8_worker() override;

    FT_STATUS get_param(QByteArray& msg, QByteArray& ret, unsigned long exp_len) override;
    FT_STATUS set_param(rv8_msg_type type, QByteArray& payload) override;

    FT_STATUS silent_close();
    FT_STATUS reset_into_bootloader();
    FT_STATUS ft_write_wrap(FT_HANDLE h, LPVOID buffer, DWORD length, LPDWORD written);
    FT_STATUS ft_read_wrap(FT_HANDLE h, LPVOID buffer, DWORD length, LPDWORD read);
    FT_STATUS wait_then_read(QByteArray& data, unsigned long exp_bytes);

    bool is_open() const { return !serial_number.isEmpty(); }
    QString get_serial_number() const { return serial_number; }
    quint16 get_fw_version() const { return fw_version; }
    rv8_variant get_variant() const { return variant; }
    bool is_logging() const;

signals:
    void opened(QString serial_number, quint16 fw_version, rv8_variant variant);
    void closed();
    void log_started();
    void log_stopped();

public slots:
    void open();
    void close();
    void reset();
    void smart_reconnect(quint32 event);
    void add_field_to_var(quint32 f_int, int_index i);
    void stop_live_logging(bool immediately);
    void set_rw_debug(bool enable);

private:
    // Queues the call into the worker's thread when made from another one; true if it did.
    template <typename F>
    bool in_other_thread(F&& call)
    {
        if (QThread::currentThread() == thread())
            return false;
        QMetaObject::invokeMethod(this, std::forward<F>(call), Qt::QueuedConnection);
        return true;
    }

    FT_STATUS query_identity();
    void record_variant();
    bool find_unit();
    FT_STATUS send_live_off();
    void drain_after_live_off();
    FT_STATUS purge_or_close();

    bool rw_debug = false;
    FT_HANDLE handle = nullptr;
    QString serial_number;
    quint16 fw_version = 0;
    rv8_variant variant = variant_rv8_s;
    rv8_vars* vars;
    QTimer* log_timer;
};

class rv8_controller : public QObject {
    Q_OBJECT

public:
    rv8_controller();
    ~rv8_controller() override;

    rv8_worker* worker;

private:
    QThread thread;
};
