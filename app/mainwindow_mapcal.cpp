// MAP calibration and the output overrides. The active calibration travels to the unit as one
// block, so every active edit marks all four of its values; the factory defaults are marked only
// while "Edit Defaults" is held down. Every override the window sets ends by itself after its time,
// on Esc, when the window closes, or when its unit comes back after a lost link.
#include "app/mainwindow.h"

#include "app/main_form.h"
#include "app/mapcal_rules.h"
#include "app/override_book.h"
#include "app/prompts.h"
#include "device/rv8.h"
#include "model/conv.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QtDebug>

#include <cmath>

namespace {
const std::initializer_list<int_index> active_block = {int_active_slope, int_active_intercept, int_active_atm, int_active_deadband};
// Removed in this order, as the form lists them bottom up.
const std::initializer_list<int_index> base_block = {int_base_atm, int_base_slope, int_base_intercept};
}

quint16 map_cal_atmosphere(const QList<quint16>& samples)
{
    if (samples.isEmpty())
        return 0;
    double sum = 0;
    for (quint16 s : samples)
        sum += s;
    return quint16(std::floor(sum / samples.size()));
}

uint override_duty(int percent)
{
    return uint(std::lround(percent * 1023.0 / 100.0));
}

void MainWindow::on_map_cal_edit_defaults_clicked()
{
    if (ui->map_cal_edit_defaults->isChecked()) {
        box_request box;
        box.text = QStringLiteral("WARNING: Editing factory MAP sensor defaults");
        box.informative = QStringLiteral(
            "Only edit these settings if told so by customer support\n\n"
            "To write new values to the unit:\n"
            "  - Press OK\n"
            "  - Edit the values below the 'Edit Defaults' button you just pressed\n"
            "  - Press 'Write' to write the values to the unit\n"
            "  - 'Edit Defaults' button will be unchecked and edit boxes will be disabled\n\n"
            "Values will only be sent to the unit if the boxes are enabled and editable!");
        box.icon = QMessageBox::Warning;
        box.buttons = QMessageBox::Ok | QMessageBox::Cancel;
        const QMessageBox::StandardButton answer = ask(box);
        if (answer == QMessageBox::Ok) {
            set_base_fields_enabled(true);
            for (int_index i : {int_base_slope, int_base_intercept, int_base_atm})
                add_to_set(i);
            return;
        }
        if (answer != QMessageBox::Cancel) {
            qCritical("Should not have gotten here");
            return;
        }
        ui->map_cal_edit_defaults->setChecked(false);
    }
    set_base_fields_enabled(false);
    for (int_index i : base_block)
        remove_from_set(i);
}

void MainWindow::set_base_fields_enabled(bool enabled)
{
    for (QDoubleSpinBox* field : {ui->base_slope, ui->base_intercept, ui->base_atm})
        field->setEnabled(enabled);
}

void MainWindow::mark_active_calibration()
{
    for (int_index i : active_block)
        add_to_set(i);
}

void MainWindow::on_map_cal_calibrate_clicked()
{
    if (!ui->map_cal_calibrate->isChecked())
        return;
    box_request box;
    box.text = QStringLiteral("WARNING: Turn your engine OFF!!");
    box.informative = QStringLiteral(
        "Ensure the unit is powered, but the engine is NOT running.\n"
        "This will attempt to read the current atmospheric pressure (ie 0 PSI boost).\n"
        "A running engine will cause a false MAP sensor offset to be applied\n");
    box.icon = QMessageBox::Warning;
    box.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    const QMessageBox::StandardButton answer = ask(box);
    if (answer == QMessageBox::Ok) {
        qDebug("Calibrating atmospheric pressure");
        controller->worker->start_map_cal();
    } else if (answer == QMessageBox::Cancel) {
        ui->map_cal_calibrate->setChecked(false);
    } else {
        qCritical("Should not have gotten here");
    }
}

void MainWindow::when_map_cal_data_ready(QList<quint16> values)
{
    const quint16 atmosphere = map_cal_atmosphere(values);
    // Announces the new intercept, which lands in its field through when_act_intercept_recalc.
    conv->set_act_atm(atmosphere);
    {
        const QSignalBlocker quiet(ui->active_atm);
        ui->active_atm->setValue(atmosphere);
    }
    qDebug() << "New atmospheric pressure calculated:" << atmosphere;
    next_step_name = QStringLiteral("MAP calibration");
    ui->map_cal_calibrate->setChecked(false);
    mark_active_calibration();
}

void MainWindow::on_active_slope_valueChanged(double value)
{
    conv->set_act_slope(value);
    mark_active_calibration();
}

void MainWindow::on_active_intercept_valueChanged(double value)
{
    conv->set_act_intercept(value);
    mark_active_calibration();
}

void MainWindow::on_active_deadband_valueChanged(double value)
{
    conv->set_act_deadband(value);
    mark_active_calibration();
}

void MainWindow::on_active_atm_valueChanged(double value)
{
    conv->set_act_atm(value);
    mark_active_calibration();
}

void MainWindow::on_base_slope_valueChanged(double)
{
    // The converter works from the active slope only; the factory slope is kept by the field.
}

void MainWindow::on_base_intercept_valueChanged(double value)
{
    conv->set_base_intercept(value);
}

void MainWindow::on_base_atm_valueChanged(double value)
{
    conv->set_base_atm(quint16(std::trunc(qBound(0.0, value, 65535.0))));
}

void MainWindow::on_map_cal_default_clicked()
{
    next_step_name = QStringLiteral("Set to Defaults");
    ui->active_slope->setValue(ui->base_slope->value());
    ui->active_intercept->setValue(ui->base_intercept->value());
    ui->active_atm->setValue(ui->base_atm->value());
}

namespace {
// "MAIN", "AUX", "GPO1", "GPO2": how messages name an output.
QString output_name(table_index output)
{
    return table_names.value(output).section(QLatin1Char(' '), 0, 0);
}

QString lasting_text(int seconds)
{
    return seconds > 0 ? QStringLiteral("for %1 s").arg(seconds) : QStringLiteral("until reset");
}
} // namespace

void MainWindow::connect_overrides()
{
    overrides = new override_book(this);
    overrides->setObjectName(QStringLiteral("override_book"));
    act_reset_overrides = new QAction(QStringLiteral("Reset All Overrides"), this);
    act_reset_overrides->setObjectName(QStringLiteral("act_reset_overrides"));
    act_reset_overrides->setShortcut(QKeySequence(Qt::Key_Escape));
    act_reset_overrides->setStatusTip(QStringLiteral("Reset every output override this window has set (Esc)"));
    // Enabled only while an override is held, so that Esc keeps its other meanings the rest of the time.
    act_reset_overrides->setEnabled(false);
    ui->menuDevice->addSeparator();
    ui->menuDevice->addAction(act_reset_overrides);
    addAction(act_reset_overrides);
    connect(act_reset_overrides, &QAction::triggered, this, [this] { reset_all_overrides(QStringLiteral("Esc pressed")); });
    connect(overrides, &override_book::expired, this, [this](table_index output) {
        reset_override(output, QStringLiteral("its %1 s ran out").arg(overrides->seconds(output)));
    });
    connect(overrides, &override_book::changed, this, &MainWindow::show_override_countdowns);
    connect(controller->worker, &rv8_worker::override_done, this, &MainWindow::when_override_done);
}

void MainWindow::set_override(table_index output)
{
    const output_form& o = ui->out[outputs::position_of(output)];
    if (o.override_value->value() < 0)
        return;
    const int percent = std::min(o.override_value->value(), 100);
    const uint duty = override_duty(percent);
    const int seconds = o.override_seconds->value();
    const QString name = output_name(output);
    const QString lasting = lasting_text(seconds);
    // A pump or valve forced while the engine turns changes how it runs: the user says so first.
    if (live_logging && latest_frame.rpm > 0) {
        box_request box;
        box.text = QStringLiteral("Override %1 to %2 % with the engine running?").arg(name).arg(percent);
        box.informative = QStringLiteral("The engine turns at %1 RPM. %2 will be driven at %3 % (duty %4) %5, whatever "
                                         "its table says.")
                              .arg(latest_frame.rpm)
                              .arg(name)
                              .arg(percent)
                              .arg(duty)
                              .arg(lasting);
        box.icon = QMessageBox::Warning;
        box.buttons = QMessageBox::Yes | QMessageBox::No;
        box.default_button = QMessageBox::No;
        if (ask(box) != QMessageBox::Yes)
            return;
    }
    qInfo().noquote() << QStringLiteral("Override %1 set to %2 % (duty %3) %4").arg(name).arg(percent).arg(duty).arg(lasting);
    overrides->set(output, percent, seconds, unit_serial);
    controller->worker->set_override(output, duty);
}

void MainWindow::reset_override(table_index output, const QString& why)
{
    const QString name = output_name(output);
    if (overrides->held(output)) {
        const int seconds = overrides->seconds(output);
        qInfo().noquote() << QStringLiteral("Override %1 reset (was %2 % (duty %3) %4): %5")
                                 .arg(name)
                                 .arg(overrides->percent(output))
                                 .arg(override_duty(overrides->percent(output)))
                                 .arg(lasting_text(seconds), why);
        resetting.insert(output, {overrides->percent(output), overrides->seconds(output)});
    } else {
        qInfo().noquote() << QStringLiteral("Override %1 reset: %2").arg(name, why);
    }
    overrides->ended(output);
    controller->worker->reset_override(output);
    ui->out[outputs::position_of(output)].override_value->setValue(-1);
}

void MainWindow::reset_all_overrides(const QString& why)
{
    for (table_index output : overrides->held_outputs())
        reset_override(output, why);
}

void MainWindow::reset_owed_overrides(const QString& serial)
{
    for (table_index output : overrides->take_owed(serial)) {
        qInfo().noquote() << QStringLiteral("Override %1 reset: the unit it was set on is connected again")
                                 .arg(output_name(output));
        controller->worker->reset_override(output);
    }
}

void MainWindow::when_override_done(table_index output, int duty, FT_STATUS result)
{
    const held_override was = duty < 0 ? resetting.take(output) : held_override();
    if (result == FT_OK)
        return;
    const QString name = output_name(output);
    if (duty >= 0) {
        // The unit never took it: no countdown for an override that is not there.
        overrides->ended(output);
        status(QStringLiteral("The unit did not take the %1 override").arg(name));
        return;
    }
    // Still owed: a reconnect of the unit, Esc or Reset tries again.
    if (was.percent >= 0) {
        overrides->set(output, was.percent, was.seconds, unit_serial);
        overrides->link_lost();
    }
    if (!device_connected)
        return;
    box_request box;
    box.text = QStringLiteral("The %1 override could not be reset").arg(name);
    box.informative = QStringLiteral("The unit did not answer and may still drive %1 at the override's duty. Press Reset "
                                     "again, or switch the unit off.")
                          .arg(name);
    box.icon = QMessageBox::Critical;
    ask(box);
}

void MainWindow::show_override_countdowns()
{
    for (const output_form& o : ui->out)
        o.override_left->setText(overrides->left_text(o.desc->index));
    act_reset_overrides->setEnabled(device_connected && overrides->any_held());
}

void MainWindow::on_main_override_set_clicked() { set_override(tbl_main); }
void MainWindow::on_aux_override_set_clicked() { set_override(tbl_aux); }
void MainWindow::on_gpo1_override_set_clicked() { set_override(tbl_gpo1); }
void MainWindow::on_gpo2_override_set_clicked() { set_override(tbl_gpo2); }
void MainWindow::on_main_override_reset_clicked() { reset_override(tbl_main, QStringLiteral("Reset pressed")); }
void MainWindow::on_aux_override_reset_clicked() { reset_override(tbl_aux, QStringLiteral("Reset pressed")); }
void MainWindow::on_gpo1_override_reset_clicked() { reset_override(tbl_gpo1, QStringLiteral("Reset pressed")); }
void MainWindow::on_gpo2_override_reset_clicked() { reset_override(tbl_gpo2, QStringLiteral("Reset pressed")); }
