#include "device/rv8.h"
#include "model/rv8_vars.h"

#include <QTimer>

rv8_worker::rv8_worker() : vars(new rv8_vars(this)), log_timer(new QTimer(this))
{
    qRegisterMetaType<rv8_variant>("rv8_variant");
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

void rv8_worker::add_field_to_var(quint32 f_int, int_index i)
{
    if (in_other_thread([=] { add_field_to_var(f_int, i); }))
        return;
    vars->set(f_int, i);
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
    qRegisterMetaType<FT_STATUS>("FT_STATUS");
    qRegisterMetaType<QList<QByteArray>>("QList<QByteArray>");
    qRegisterMetaType<QList<quint32>>("QList<quint32>");
    qRegisterMetaType<QList<quint16>>("QList<quint16>");
    qRegisterMetaType<QList<QString>>("QList<QString>");
    register_model_meta_types();
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    thread.start(QThread::InheritPriority);
}

rv8_controller::~rv8_controller()
{
    thread.quit();
    thread.wait();
}
