// Settings between the unit, the model and settings files, with live logging paused around each.

#include "device/rv8.h"
#include "device/settings_source.h"
#include "device/write_failure.h"
#include "model/restore_points.h"
#include "model/rv8_vars.h"
#include "model/unit_settings.h"
#include "model/write_group.h"

#include <QDebug>

// The window keeps a recording's file open across a pause: only a real stop ends it.
bool rv8_worker::pause_logging()
{
    const bool was_logging = is_logging();
    if (was_logging) {
        emit log_paused(true);
        stop_live_logging(false);
    }
    return was_logging;
}

void rv8_worker::resume_logging(bool was_logging)
{
    if (was_logging)
        start_live_logging();
    end_pause(was_logging);
}

void rv8_worker::end_pause(bool was_logging)
{
    if (was_logging)
        emit log_paused(false);
}

void rv8_worker::start_read()
{
    if (in_other_thread([=] { start_read(); }))
        return;
    qDebug("Start read");
    const bool was_logging = pause_logging();
    const FT_STATUS status = vars->rv8_to_vars();
    QList<QByteArray> tables;
    QList<quint32> ints;
    QList<adc_trim> trims;
    if (status == FT_OK)
        vars->get(tables, ints, trims);
    emit read_data(status, tables, ints, trims);
    resume_logging(was_logging);
}

void rv8_worker::start_write()
{
    if (in_other_thread([=] { start_write(); }))
        return;
    qDebug("Start write");
    const bool was_logging = pause_logging();
    QString point;
    if (restore_points_on && !save_restore_point(&point)) {
        emit write_outcome({}, {});
        emit write_checked({}, {});
        emit wrote_data(FT_OTHER_ERROR);
        resume_logging(was_logging);
        return;
    }
    const FT_STATUS status = vars->vars_to_rv8();
    // An acknowledgement says the message arrived, not that the unit stored it. A unit that has
    // gone silent is not asked again: the write has failed already, and each read would wait.
    QList<int> differing, unread;
    if (read_back_on && status != FT_OTHER_ERROR && is_open())
        vars->check_written(vars->last_written(), &differing, &unread);
    if (!differing.isEmpty())
        qWarning().noquote() << "The unit holds different values for:" << group_names(differing).join(QStringLiteral(", "));
    if (!unread.isEmpty())
        qWarning().noquote() << "Could not read back:" << group_names(unread).join(QStringLiteral(", "));
    if (!point.isEmpty())
        restore_points::note_write(point, group_names(vars->last_written()));
    emit write_outcome(vars->last_written(), vars->last_not_written());
    emit write_checked(differing, unread);
    emit wrote_data(status);
    resume_logging(was_logging);
}

// Everything the unit holds, into lists of their own: the settings model stays as it is.
FT_STATUS rv8_worker::read_unit(QList<QByteArray>* tables, QList<quint32>* ints)
{
    rv8_vars unit(this);
    const FT_STATUS status = unit.rv8_to_vars();
    QList<adc_trim> trims;
    if (status == FT_OK)
        unit.get(*tables, *ints, trims);
    return status;
}

bool rv8_worker::save_restore_point(QString* path)
{
    QList<QByteArray> tables;
    QList<quint32> ints;
    const FT_STATUS status = read_unit(&tables, &ints);
    QString error;
    if (status == FT_OK) {
        unit_settings settings(tables, ints);
        settings.complete_for_file(fw_version, variant);
        *path = restore_points::save(serial_number, settings, &error);
    } else {
        error = QStringLiteral("the unit's settings could not be read (status %1)").arg(status);
    }
    if (path->isEmpty()) {
        qCritical().noquote() << "No restore point, nothing written:" << error;
        emit restore_point({}, error);
        return false;
    }
    qDebug().noquote() << "Restore point" << *path;
    emit restore_point(*path, {});
    return true;
}

void rv8_worker::read_snapshot()
{
    if (in_other_thread([=] { read_snapshot(); }))
        return;
    const bool was_logging = pause_logging();
    QList<QByteArray> tables;
    QList<quint32> ints;
    const FT_STATUS status = read_unit(&tables, &ints);
    emit snapshot_read(status, tables, ints);
    resume_logging(was_logging);
}

void rv8_worker::set_restore_points(bool enabled)
{
    if (in_other_thread([=] { set_restore_points(enabled); }))
        return;
    restore_points_on = enabled;
}

void rv8_worker::set_read_back(bool enabled)
{
    if (in_other_thread([=] { set_read_back(enabled); }))
        return;
    read_back_on = enabled;
}

void rv8_worker::vars_to_file(QString filename)
{
    if (in_other_thread([=] { vars_to_file(filename); }))
        return;
    qDebug().noquote() << "Start save to" << filename;
    const bool was_logging = pause_logging();
    // A save that fails silently looks like a success to the user, so the outcome is reported.
    QString reason;
    const bool saved = vars->vars_to_file(filename, &reason);
    emit wrote_file(filename, saved, saved ? QString() : write_failure(filename, reason));
    resume_logging(was_logging);
}

void rv8_worker::file_to_vars_to_field(QString filename)
{
    if (in_other_thread([=] { file_to_vars_to_field(filename); }))
        return;
    qDebug().noquote() << "Start open from" << filename;
    const settings_source source = inspect_settings_source(filename);
    switch (source.kind) {
    case settings_source::settings_file:
        load_settings(filename, filename, false);
        return;
    case settings_source::recorded_log:
        load_log_settings(filename);
        return;
    case settings_source::not_settings:
    case settings_source::unreadable:
        break;
    }
    qCritical().noquote() << "Could not open" << filename << ":" << source.reason;
    emit read_file(FT_OTHER_ERROR, {}, {}, {}, {source.reason});
}

void rv8_worker::load_settings(const QString& path, const QString& filename, bool recorded_log)
{
    const bool was_logging = pause_logging();
    QList<QString> warnings;
    if (vars->file_to_vars(path, warnings)) {
        // The connected unit's variant wins over the one the file was saved with.
        if (is_open()) {
            identify();
            if (is_open())
                record_variant();
        }
        QList<QByteArray> tables;
        QList<quint32> ints;
        QList<adc_trim> trims;
        vars->get(tables, ints, trims);
        emit settings_loaded(filename, recorded_log);
        emit read_file(FT_OK, tables, ints, trims, warnings);
    } else {
        emit read_file(FT_OTHER_ERROR, {}, {}, {}, {QStringLiteral("The file could not be read as settings.")});
    }
    resume_logging(was_logging);
}
