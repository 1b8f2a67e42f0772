// The worker's life, its small slots and the controller that gives it a thread.

#include "device/rv8.h"
#include "model/rv8_vars.h"

#include <QTimer>

#include <cmath>
#include <limits>

rv8_worker::rv8_worker() : vars(new rv8_vars(this)), log_timer(new QTimer(this))
{
    // The timer is the clock of live logging; a coarse one would stretch the 1 ms poll.
    log_timer->setTimerType(Qt::PreciseTimer);
    connect(log_timer, &QTimer::timeout, this, &rv8_worker::check_log_data);
    qRegisterMetaType<rv8_variant>("rv8_variant");
    qRegisterMetaType<log_marker>("log_marker");
    qRegisterMetaType<QList<log_marker>>("QList<log_marker>");
}

rv8_worker::~rv8_worker()
{
    close();
    delete vars;
    delete log_timer;
}

bool rv8_worker::is_logging() const
{
    return log_timer->isActive();
}

void rv8_worker::add_field_to_var(QByteArray f_table, table_index i)
{
    if (in_other_thread([=] { add_field_to_var(f_table, i); }))
        return;
    vars->set(f_table, i);
}

void rv8_worker::add_field_to_var(quint32 f_int, int_index i)
{
    if (in_other_thread([=] { add_field_to_var(f_int, i); }))
        return;
    vars->set(f_int, i);
}

void rv8_worker::add_field_to_var(adc_trim f_trim, adc_trim_index i)
{
    if (in_other_thread([=] { add_field_to_var(f_trim, i); }))
        return;
    vars->set(f_trim, i);
}

void rv8_worker::remove_all_sets()
{
    if (in_other_thread([=] { remove_all_sets(); }))
        return;
    vars->remove_all_sets();
}

void rv8_worker::clear_live_logs()
{
    if (in_other_thread([=] { clear_live_logs(); }))
        return;
    log.clear();
    file_marks.clear();
    // Emptied while no stream runs, the store begins a new session: what was kept from the last one
    // does not lead up to anything in it. (brennix-cli empties it while recording, to bound memory.)
    if (!is_logging()) {
        earlier_records.clear();
        waiting_markers.clear();
        newest_stamp = -1;
    }
}

void rv8_worker::recall_frame_at(QPointF point)
{
    if (in_other_thread([=] { recall_frame_at(point); }))
        return;
    // The chart's axis may reach past any time stamp a 64-bit integer holds.
    const double x = point.x();
    const qint64 t = std::isnan(x) ? 0 : x >= 9.2e18 ? std::numeric_limits<qint64>::max()
                     : x <= -9.2e18 ? std::numeric_limits<qint64>::min() : qint64(x);
    emit recall_data_ready(log.roughly_at(t));
}

void rv8_worker::set_rw_debug(bool enable)
{
    if (in_other_thread([=] { set_rw_debug(enable); }))
        return;
    rw_debug = enable;
}

rv8_controller::rv8_controller() : worker(new rv8_worker)
{
    worker->moveToThread(&thread);
    register_model_meta_types();
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.start(QThread::InheritPriority);
}

rv8_controller::~rv8_controller()
{
    // Queued behind every request made so far, so that those (the window's last override resets
    // among them) still reach the unit before the link closes.
    QThread* worker_thread = &thread;
    QMetaObject::invokeMethod(worker, [worker_thread] { worker_thread->quit(); }, Qt::QueuedConnection);
    thread.wait();
}
