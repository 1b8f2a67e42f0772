// Read, write, open and save: the window moves values between the form and the worker's settings
// model and keeps track of what the next Write has to send.
#include "app/mainwindow.h"

#include "app/main_form.h"
#include "app/prompts.h"
#include "device/rv8.h"
#include "model/table_record.h"
#include "model/write_group.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QStatusBar>
#include <QtDebug>

namespace {
QString version_text(quint32 v)
{
    return QStringLiteral("%1.%2.%3").arg(v >> 24).arg((v >> 8) & 0xFFFF).arg(v & 0xFF);
}

QString warning_lines(const QList<QString>& warnings)
{
    QString lines;
    for (const QString& w : warnings)
        lines += QStringLiteral("  * ") + w + QLatin1Char('\n');
    return lines;
}
}

void MainWindow::on_act_read_triggered()
{
    for (QAction* a : {ui->act_read, ui->act_write, ui->act_write_all})
        a->setEnabled(false);
    controller->worker->start_read();
}

void MainWindow::when_read_data(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims)
{
    for (QAction* a : {ui->act_read, ui->act_write, ui->act_write_all})
        a->setEnabled(device_connected);
    if (status != FT_OK) {
        qCritical("Could not read from device");
        return;
    }
    vars_to_fields(tables, ints, trims);
    clear_change_sets();
    remember_unit_image();
    history->record(QStringLiteral("Read from unit"));
}

void MainWindow::on_act_write_triggered()
{
    commit_pending_edit();
    if (!changes_pending) {
        qDebug("No changes to write to device");
        return;
    }
    ui->act_write->setEnabled(false);
    ui->act_write_all->setEnabled(false);
    // The form's marks are what a Write sends; a group a failed write left pending in the model
    // may since have been read anew and must not go out with its old values.
    controller->worker->remove_all_sets();
    fields_to_vars();
    controller->worker->start_write();
}

void MainWindow::on_act_write_all_triggered()
{
    commit_pending_edit();
    ui->act_write->setEnabled(false);
    ui->act_write_all->setEnabled(false);
    add_all_to_set();
    controller->worker->remove_all_sets();
    fields_to_vars();
    controller->worker->start_write();
}

void MainWindow::when_write_outcome(QList<int> written, QList<int> not_written)
{
    write_acknowledged = written;
    write_unacknowledged = not_written;
}

void MainWindow::when_wrote_data(FT_STATUS status)
{
    // Only a connected unit can be written to; the link may have closed while this one ran.
    ui->act_write->setEnabled(device_connected);
    ui->act_write_all->setEnabled(device_connected);
    QList<int> done = write_acknowledged;
    const QList<int> left = write_unacknowledged;
    // Acknowledged, but read back otherwise or not at all: as good as not written.
    const QList<int> unsure = write_differing + write_unread;
    const QList<int> differing = write_differing, unread = write_unread;
    const QString no_point = restore_point_error;
    write_acknowledged.clear();
    write_unacknowledged.clear();
    write_differing.clear();
    write_unread.clear();
    restore_point_error.clear();
    // What the unit did not take is still to be written: the next Write sends it again.
    for (int g : left + unsure)
        mark_group(g);
    if (status != FT_OK && left.isEmpty() && done.isEmpty()) {
        changed_tables.unite(written_tables);
        changed_ints.unite(written_ints);
    }
    written_tables.clear();
    written_ints.clear();
    set_changes_pending(!changed_tables.isEmpty() || !changed_ints.isEmpty() || !changed_trims.isEmpty());
    for (int g : unsure) {
        done.removeAll(g);
        forget_unit_group(g);
    }
    remember_written(done);
    // Edit Defaults is let go only once the unit holds the factory calibration.
    if (done.contains(g_base_map_cal)) {
        ui->map_cal_edit_defaults->setChecked(false);
        on_map_cal_edit_defaults_clicked();
    }
    if (status == FT_OK && unsure.isEmpty())
        return;
    const QString read_back = (differing.isEmpty() ? QString() : QStringLiteral("The unit holds different values for: %1\n")
                                                                     .arg(group_names(differing).join(QStringLiteral(", "))))
                              + (unread.isEmpty() ? QString() : QStringLiteral("They could not be read back: %1\n")
                                                                    .arg(group_names(unread).join(QStringLiteral(", "))));
    box_request box;
    box.icon = QMessageBox::Critical;
    if (status == FT_OK) {
        box.text = !differing.isEmpty() ? QStringLiteral("The unit holds different values for: %1").arg(group_names(differing).join(QStringLiteral(", ")))
                                        : QStringLiteral("The write could not be read back for: %1").arg(group_names(unread).join(QStringLiteral(", ")));
        box.informative = read_back + QStringLiteral("\nThe unit acknowledged the write, but reading it back did not find what was "
                                                     "sent. These stay marked for Write: write again, or Read to see what the unit holds.");
        box.icon = QMessageBox::Warning;
        qWarning().noquote() << box.text;
        ask(box);
        return;
    }
    qWarning("Error writing data to device");
    box.text = QStringLiteral("Error writing data to device");
    box.informative = QStringLiteral("Could not write data to device, check the log for possible error messages.");
    if (!no_point.isEmpty())
        box.informative = QStringLiteral("Nothing was written: the unit's settings could not be saved as a restore point first "
                                         "(%1).").arg(no_point);
    if (!left.isEmpty())
        box.informative += QStringLiteral("\n\nWritten: %1\nNot written, still marked for Write: %2")
                               .arg(done.isEmpty() ? QStringLiteral("nothing") : group_names(done).join(QStringLiteral(", ")),
                                    group_names(left).join(QStringLiteral(", ")));
    if (!read_back.isEmpty())
        box.informative += QStringLiteral("\n\n") + read_back.trimmed();
    ask(box);
}

void MainWindow::mark_group(int group)
{
    if (group <= g_gpo2_table) {
        changed_tables.insert(table_index(group));
        return;
    }
    for (int_index i : group_members(group))
        changed_ints.insert(i);
}

void MainWindow::on_act_reset_triggered()
{
    box_request box;
    box.text = QStringLiteral("Reset the device?");
    box.informative = QStringLiteral("WARNING: Make sure the engine is not running before proceeding!");
    box.buttons = QMessageBox::Yes | QMessageBox::No;
    box.default_button = QMessageBox::No;
    if (ask(box) == QMessageBox::Yes)
        controller->worker->reset();
}

void MainWindow::set_settings_file_name(const QString& name)
{
    settings_file_name = name;
    ui->act_save->setStatusTip(QStringLiteral("Save this settings file (%1)").arg(name));
}

void MainWindow::on_act_save_triggered()
{
    if (settings_file_name.isEmpty())
        on_act_save_as_triggered();
    else
        save_settings_file(settings_file_name);
}

void MainWindow::on_act_save_as_triggered()
{
    const QString name = choose_file(file_request::save_file, QStringLiteral("Save settings file"), settings_file_name,
                                     QLatin1String(settings_filter), QStringLiteral("bnini"));
    if (!name.isEmpty())
        save_settings_file(name);
}

void MainWindow::save_settings_file(QString name)
{
    commit_pending_edit();
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".bnini");
    set_settings_file_name(name);
    status(QStringLiteral("Saving file to %1").arg(name));
    all_fields_to_vars();
    controller->worker->vars_to_file(name);
    end_file_snapshot();
}

void MainWindow::on_act_open_triggered()
{
    commit_pending_edit();
    const QString name = choose_file(file_request::open_file, QStringLiteral("Open settings file"), settings_file_name,
                                     QLatin1String(settings_filter));
    if (name.isEmpty())
        return;
    // The name becomes the Save target only once the file loaded as settings (when_settings_loaded).
    opening_file = name;
    marks_before_open = {changed_tables, changed_ints, changed_trims};
    // Settings the file lacks keep the values the form shows now.
    all_fields_to_vars();
    controller->worker->file_to_vars_to_field(name);
    end_file_snapshot();
}

void MainWindow::when_settings_loaded(QString filename, bool recorded_log)
{
    if (filename != opening_file)
        return;
    if (!recorded_log) {
        set_settings_file_name(filename);
        return;
    }
    // Saving over the recording would destroy it: Save asks where, as Save As does.
    set_settings_file_name(QString());
    status(QStringLiteral("Opened the settings of the recorded log %1; Save asks for a settings file").arg(filename));
}

void MainWindow::refuse_opened_file(const QString& name, const QString& reason)
{
    changed_tables = marks_before_open.tables;
    changed_ints = marks_before_open.ints;
    changed_trims = marks_before_open.trims;
    set_changes_pending(!changed_tables.isEmpty() || !changed_ints.isEmpty() || !changed_trims.isEmpty());
    box_request box;
    box.text = QStringLiteral("Could not open the settings file");
    box.informative = QStringLiteral("%1\n%2\n\nNothing in the form was changed.").arg(name, reason);
    box.icon = QMessageBox::Critical;
    ask(box);
}

void MainWindow::when_read_file(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims,
                                QList<QString> warnings)
{
    for (QAction* a : {ui->act_read, ui->act_write, ui->act_write_all})
        a->setEnabled(device_connected);
    const QString opened = opening_file;
    opening_file.clear();
    if (status != FT_OK) {
        qCritical("Could not read from file");
        if (!opened.isEmpty())
            refuse_opened_file(opened, warnings.value(0));
        return;
    }
    // A damaged table never reaches the unit: the form keeps what it had and Write leaves it out.
    for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2}) {
        const QString fault = table_record(tables.value(t)).fault();
        if (fault.isEmpty())
            continue;
        warnings << QStringLiteral("Table %1 is damaged (%2) and was not loaded, keeping the current settings.")
                        .arg(table_names.value(t), fault);
        changed_tables.remove(t);
    }
    const quint32 saved_by = ints.value(int_gui_version);
    const QString mine = QCoreApplication::applicationVersion();
    box_request box;
    box.icon = QMessageBox::Warning;
    if (saved_by < version_number) {
        box.text = QStringLiteral("BNINI is from older version");
        box.informative = QStringLiteral("Brennix v%1 was used to save this BNINI file, but your version is %2.\n").arg(version_text(saved_by), mine)
                          + (warnings.isEmpty() ? QStringLiteral("It seems all the necessary data was in the file, so this warning can be ignored\n")
                                                : QStringLiteral("There were some fields missing from the file:\n") + warning_lines(warnings)
                                                      + QStringLiteral("\nDouble-check these values in the application to make sure they are correct!\n"))
                          + QStringLiteral("Use the Save/Save As buttons to update this file with this newer version of Brennix");
    } else if (saved_by == version_number && !warnings.isEmpty()) {
        box.text = QStringLiteral("Warnings found while opening the BNINI file");
        box.informative = QStringLiteral("This BNINI file was made with the same version of Brennix (%1),\nbut there were some warnings found while opening the file:\n").arg(mine)
                          + warning_lines(warnings)
                          + QStringLiteral("\nDouble-check these values in the application to make sure they are correct!\nUse the Save/Save As buttons to correct the issues in this file.");
    } else if (saved_by > version_number) {
        box.text = QStringLiteral("BNINI is from newer version");
        box.icon = QMessageBox::Critical;
        box.informative = QStringLiteral("Brennix v%1 was used to save this BNINI file, but your version is %2.\nIt's possible the file contains data that was not loaded properly or is not supported by this application version.\n\nRecommend you update your Brennix version before writing fields back to the unit!").arg(version_text(saved_by), mine);
    }
    if (!box.text.isEmpty()) {
        qWarning().noquote() << box.text;
        ask(box);
    }
    vars_to_fields(tables, ints, trims);
    history->record(opened.isEmpty() ? QStringLiteral("Open the settings of a log")
                                     : QStringLiteral("Open %1").arg(QFileInfo(opened).fileName()));
}
