// Validation and interlocks: edits snap to what the unit can store, ranges keep their gaps,
// control modes stay consistent, and every accepted edit marks what Write will send.
#include "app/mainwindow.h"

#include "app/main_form.h"
#include "app/prompts.h"
#include "app/vertical_label.h"
#include "graphs/table_graph.h"
#include "model/conv.h"
#include "model/write_rules.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QtDebug>

#include <array>
#include <cmath>

namespace {
const char* const greater = "is equal to or greater than:";
const char* const less = "is equal to or less than:";
}

void MainWindow::status(const QString& text)
{
    ui->statusBar->showMessage(text);
}

void MainWindow::connect_form_checks()
{
    for (output_form& o : ui->out) {
        const output_form* p = &o;
        auto changed = [this, p] { output_field_changed(*p); };
        connect(ui->max_engine_speed, qOverload<int>(&QSpinBox::valueChanged), this, changed);
        connect(o.horz_axis_gt, qOverload<int>(&QSpinBox::valueChanged), this, changed);
        connect(o.vert_axis_gt, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this, p] {
            clamp_vert_threshold(*p);
            output_field_changed(*p);
        });
        connect(o.vert_axis, qOverload<int>(&QComboBox::currentIndexChanged), this, [this, p](int i) {
            show_vert_source(*p, i);
            output_field_changed(*p);
        });
        connect(o.table, &QTableWidget::cellChanged, this, [this, p](int row, int column) {
            p->table->last_change.clear(); // typed
            add_to_set(p->desc->index);
            p->graph->set_value(p->table->item(row, column)->text().toDouble(), column, row);
        });
        // Paste, delete, cut and scripts announce themselves only here; the window's own fills
        // run while updating_fields is set and mark nothing.
        connect(o.table, &duty_table::many_cells_updated, this, [this, p] { add_to_set(p->desc->index); });
        if (o.desc->pump) {
            const bool main = o.desc->index == tbl_main;
            for (QDoubleSpinBox* f : {main ? ui->main_overcurrent_limit : ui->aux_overcurrent_limit,
                                      main ? ui->main_undercurrent_limit : ui->aux_undercurrent_limit})
                connect(f, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
            for (QSpinBox* f : {main ? ui->main_time_delay : ui->aux_time_delay, main ? ui->main_min_duty : ui->aux_min_duty})
                connect(f, qOverload<int>(&QSpinBox::valueChanged), this, changed);
        } else {
            for (QSpinBox* delay : {o.act_delay, o.deact_delay}) {
                connect(delay, qOverload<int>(&QSpinBox::valueChanged), this, changed);
                connect(delay, &QSpinBox::editingFinished, this, [this, p, delay] {
                    check_delay_increment(delay);
                    add_to_set(p->desc->index);
                });
            }
            connect(o.control, qOverload<int>(&QComboBox::currentIndexChanged), this, [this, p](int index) {
                unknown_modes.remove(p->desc->index == tbl_gpo1 ? int_gpo1_mode : int_gpo2_mode);
                add_op_modes_to_set();
                show_output_mode(*p, index);
            });
        }
    }
    for (QSpinBox* gpi : {ui->gpi1_request, ui->gpi2_request, ui->gpi1_act_delay, ui->gpi1_deact_delay,
                          ui->gpi2_act_delay, ui->gpi2_deact_delay})
        connect(gpi, qOverload<int>(&QSpinBox::valueChanged), this, &MainWindow::add_op_modes_to_set);
    connect(conv, &converter::act_intercept_recalc, this, &MainWindow::when_act_intercept_recalc);
}

void MainWindow::output_field_changed(const output_form& o)
{
    add_to_set(o.desc->index);
    set_table_axis(o.desc->index);
}

void MainWindow::add_op_modes_to_set()
{
    for (int_index i : {int_main_mode, int_aux_mode, int_pump_prime_delay, int_gpo1_mode, int_gpo2_mode, int_gpi1_mode,
                        int_gpi1_request, int_gpi2_mode, int_gpi2_request, int_gpi1_act_delay, int_gpi1_deact_delay,
                        int_gpi2_act_delay, int_gpi2_deact_delay})
        add_to_set(i);
}

bool MainWindow::check_delay_increment(QSpinBox* field)
{
    const double snapped = write_rules::snap_value(write_limits::tick_delay, field->value());
    if (snapped == field->value())
        return false;
    field->setValue(int(snapped));
    status(QStringLiteral("Can only set delay in increments of %1").arg(write_limits::tick_delay.snap, 0, 'f', 1));
    return true;
}

void MainWindow::on_pump_prime_delay_editingFinished()
{
    add_op_modes_to_set();
    check_delay_increment(ui->pump_prime_delay);
    ui->pump_prime_delay_2->setValue(ui->pump_prime_delay->value());
}

void MainWindow::on_gpi1_act_delay_editingFinished() { check_delay_increment(ui->gpi1_act_delay); }
void MainWindow::on_gpi1_deact_delay_editingFinished() { check_delay_increment(ui->gpi1_deact_delay); }
void MainWindow::on_gpi2_act_delay_editingFinished() { check_delay_increment(ui->gpi2_act_delay); }
void MainWindow::on_gpi2_deact_delay_editingFinished() { check_delay_increment(ui->gpi2_deact_delay); }

void MainWindow::on_max_engine_speed_editingFinished()
{
    const int rpm = ui->max_engine_speed->value();
    const double snapped = write_rules::snap_value(write_limits::max_engine_speed, rpm);
    if (snapped == rpm)
        return;
    ui->max_engine_speed->setValue(int(snapped));
    status(QStringLiteral("Can only set max engine RPM in increments of %1").arg(write_limits::max_engine_speed.snap));
}

void MainWindow::on_pulses_per_rev_editingFinished()
{
    const double value = ui->pulses_per_rev->value();
    const double snapped = write_rules::snap_value(write_limits::pulses_per_rev, value);
    if (snapped != value) {
        ui->pulses_per_rev->setValue(snapped);
        status(QStringLiteral("Can only set pulses per revolution in increments of %1").arg(write_limits::pulses_per_rev.snap));
    }
    add_to_set(int_rpm_scaler);
}

void MainWindow::on_max_an1_input_valueChanged(double) { check_analog_gap(true, false); }
void MainWindow::on_min_an1_input_valueChanged(double) { check_analog_gap(true, true); }
void MainWindow::on_max_an2_input_valueChanged(double) { check_analog_gap(false, false); }
void MainWindow::on_min_an2_input_valueChanged(double) { check_analog_gap(false, true); }

void MainWindow::check_analog_gap(bool input_a, bool min_changed)
{
    QDoubleSpinBox* min = input_a ? ui->min_an1_input : ui->min_an2_input;
    QDoubleSpinBox* max = input_a ? ui->max_an1_input : ui->max_an2_input;
    double low = min->value(), high = max->value();
    write_rules::keep_apart(write_limits::analog_range, write_limits::analog_gap, min_changed, &low, &high);
    if (low != min->value() || high != max->value()) {
        const QSignalBlocker quiet_min(min), quiet_max(max);
        min->setValue(low);
        max->setValue(high);
        status(QStringLiteral("Max - min must be greater than %1V").arg(write_limits::analog_gap));
    }
    refresh_outputs_on(input_a ? 1 : 2);
}

void MainWindow::refresh_outputs_on(int source)
{
    for (const output_form& o : ui->out)
        if (o.vert_axis->currentIndex() == source)
            output_field_changed(o);
}

void MainWindow::on_min_boost_editingFinished() { snap_boost(false); }
void MainWindow::on_max_boost_editingFinished() { snap_boost(true); }

void MainWindow::snap_boost(bool max_changed)
{
    QDoubleSpinBox* field = max_changed ? ui->max_boost : ui->min_boost;
    const QString unit = conv->boost_unit_name();
    const double gap = write_limits::boost_gap * conv->boost_factor();
    {
        const QSignalBlocker quiet(field);
        field->setValue(conv->adc2boost(conv->boost2adc(field->value())));
        if (ui->max_boost->value() - ui->min_boost->value() < gap) {
            if (max_changed) {
                status(QStringLiteral("Max must be greater than %1 %2").arg(ui->min_boost->value() + gap, 0, 'f', 1).arg(unit));
                ui->max_boost->setValue(ui->min_boost->value() + gap);
            } else {
                status(QStringLiteral("Max - min boost must be greater than %1 %2 apart").arg(gap, 0, 'f', 1).arg(unit));
                ui->min_boost->setValue(ui->max_boost->value() - gap);
            }
        }
    }
    refresh_outputs_on(0);
}

void MainWindow::clamp_vert_threshold(const output_form& o)
{
    if (o.vert_axis->currentIndex() != 0)
        return;
    const QSignalBlocker quiet(o.vert_axis_gt);
    const double lowest = conv->min_boost();
    const double highest = conv->max_boost();
    if (o.vert_axis_gt->value() < lowest) {
        o.vert_axis_gt->setValue(lowest);
        status(QStringLiteral("At absolute minimum boost measurable by the RV8-SX"));
    } else if (o.vert_axis_gt->value() > highest) {
        o.vert_axis_gt->setValue(highest);
        status(QStringLiteral("At absolute maximum boost measureable by the RV8-SX"));
    }
}

// One place more than the boost fields: a MAP threshold then goes from unit to unit and back
// without losing a count.
int MainWindow::threshold_decimals(int source) const
{
    return source == 0 ? conv->boost_decimals() + 1 : 1;
}

void MainWindow::show_vert_source(const output_form& o, int index)
{
    QString label, name, units;
    const write_limit& limit = index == 0 ? write_limits::load_threshold_boost : write_limits::load_threshold_analog;
    switch (index) {
    case 0:
        label = QStringLiteral("Boost Pressure (") + conv->boost_unit_name() + QLatin1Char(')');
        name = QStringLiteral("MAP sensor");
        units = conv->boost_unit_name();
        break;
    case 1:
        label = QStringLiteral("Analog Input A (Volts)");
        name = QStringLiteral("AN A input");
        units = QStringLiteral("Volts");
        break;
    case 2:
        label = QStringLiteral("Analog Input B (Volts)");
        name = QStringLiteral("AN B input");
        units = QStringLiteral("Volts");
        break;
    default:
        qCritical() << "Unhandled vert axis" << index;
        return;
    }
    o.vert_axis_label->setText(label);
    o.vert_axis_label->updateGeometry();
    o.vert_axis_name->setText(name);
    o.vert_axis_name_2->setText(name);
    o.vert_axis_units->setText(units);
    o.vert_axis_units_2->setText(units);
    o.vert_axis_gt->setRange(limit.min, limit.max);
    // Volts need their tenths whatever the boost unit was when the source changed.
    o.vert_axis_gt->setDecimals(threshold_decimals(index));
}

void MainWindow::on_main_control_currentIndexChanged(int index)
{
    unknown_modes.remove(int_main_mode);
    if (index == 2 && ui->out[outputs::aux].control->currentIndex() != 2) {
        status(QStringLiteral("Cannot change MAIN control to duty + pump prime if AUX table is not already set to the same"));
        ui->out[outputs::main].control->setCurrentIndex(1);
        return; // the change to 1 has run the rest
    }
    add_op_modes_to_set();
    show_output_mode(ui->out[outputs::main], index);
}

void MainWindow::on_aux_control_currentIndexChanged(int index)
{
    unknown_modes.remove(int_aux_mode);
    if (index != 2 && ui->out[outputs::main].control->currentIndex() == 2) {
        const QString text = QStringLiteral("Cannot have MAIN control set to duty table + pump prime if AUX table is not set to the same");
        qWarning().noquote() << text;
        status(text);
        box_request box;
        box.text = text;
        box.informative = QStringLiteral("MAIN control currently set to: ") + ui->out[outputs::main].control->currentText()
                          + QStringLiteral("\nMAIN control will be changed to: ") + ui->out[outputs::main].control->itemText(1);
        box.icon = QMessageBox::Warning;
        ask(box);
        ui->out[outputs::main].control->setCurrentIndex(1);
    }
    add_op_modes_to_set();
    show_output_mode(ui->out[outputs::aux], index);
}

void MainWindow::show_output_mode(const output_form& o, int index)
{
    if (o.desc->pump) {
        const bool aux = o.desc->index == tbl_aux;
        const bool uses_table = aux ? (index != 0 && index != 4) : index != 0;
        for (QWidget* w : std::initializer_list<QWidget*>{o.table, o.vert_axis, o.vert_axis_gt, o.horz_axis_gt})
            w->setEnabled(uses_table);
        if (aux)
            ui->pump_prime_delay->setEnabled(index == 2);
        return;
    }
    const bool table = index == 1;
    const bool setpoint = index == 2 || index == 3;
    o.operate_label->setText(table ? QStringLiteral("Duty table used when:")
                             : setpoint ? QStringLiteral("100% duty when:") : QStringLiteral("Duty table is not used."));
    const QString comparison = QLatin1String(index == 3 ? less : greater);
    o.vert_comp_label->setText(comparison);
    o.horz_comp_label->setText(comparison);
    o.table->setEnabled(table);
    for (QWidget* w : std::initializer_list<QWidget*>{o.vert_axis, o.vert_axis_gt, o.horz_axis_gt})
        w->setEnabled(table || setpoint);
    o.act_delay->setEnabled(setpoint);
    o.deact_delay->setEnabled(setpoint);
}

void MainWindow::on_gpi1_control_currentIndexChanged(int index)
{
    unknown_modes.remove(int_gpi1_mode);
    add_op_modes_to_set();
    show_gpi_mode(1, index);
}

void MainWindow::on_gpi2_control_currentIndexChanged(int index)
{
    unknown_modes.remove(int_gpi2_mode);
    add_op_modes_to_set();
    show_gpi_mode(2, index);
}

void MainWindow::show_gpi_mode(int gpi, int index)
{
    const bool used = index != 0;
    const QList<QWidget*> fields = gpi == 1 ? QList<QWidget*>{ui->gpi1_request, ui->gpi1_act_delay, ui->gpi1_deact_delay}
                                            : QList<QWidget*>{ui->gpi2_request, ui->gpi2_act_delay, ui->gpi2_deact_delay};
    for (QWidget* w : fields)
        w->setEnabled(used);
}

void MainWindow::show_control_modes()
{
    for (const output_form& o : ui->out)
        show_output_mode(o, o.control->currentIndex());
    show_gpi_mode(1, ui->gpi1_control->currentIndex());
    show_gpi_mode(2, ui->gpi2_control->currentIndex());
}

void MainWindow::on_live_collapse_toggled(bool checked)
{
    ui->live_collapse->setText(checked ? QStringLiteral("vvv Show Options vvv") : QStringLiteral("^^^ Hide Options ^^^"));
    ui->live_data_group->setVisible(!checked);
    ui->live_log_settings_group->setVisible(!checked);
}

void MainWindow::on_boost_select_currentIndexChanged(int index)
{
    // A display preference: every boost value keeps the counts the unit stores, and nothing is
    // marked for Write.
    QList<QDoubleSpinBox*> fields = {ui->min_boost, ui->max_boost};
    for (const output_form& o : ui->out)
        if (o.vert_axis->currentIndex() == 0) // an analog threshold is in volts whatever the boost unit
            fields << o.vert_axis_gt;
    QList<quint16> counts;
    for (QDoubleSpinBox* f : fields)
        counts << conv->boost2adc(f->value());
    std::array<QVector<quint16>, outputs::count> rows;
    for (int p = 0; p < outputs::count; ++p)
        if (ui->out[p].vert_axis->currentIndex() == 0)
            for (int r = 0; r < ui->out[p].table->rowCount(); ++r)
                rows[p] << conv->boost2adc(ui->out[p].table->vert_header_at(r));
    conv->set_boost_units(index);
    const int decimals = conv->boost_decimals();
    for (QLabel* unit : {ui->min_boost_units, ui->max_boost_units, ui->live_map_units})
        unit->setText(conv->boost_unit_name());
    for (int k = 0; k < fields.size(); ++k) {
        const QSignalBlocker quiet(fields[k]);
        fields[k]->setDecimals(k < 2 ? decimals : threshold_decimals(0));
        fields[k]->setSingleStep(decimals == 0 ? 1.0 : 0.1);
        fields[k]->setValue(conv->adc2boost(counts[k]));
    }
    for (int p = 0; p < outputs::count; ++p) {
        show_vert_source(ui->out[p], ui->out[p].vert_axis->currentIndex());
        QVector<double> breakpoints;
        for (quint16 c : qAsConst(rows[p]))
            breakpoints << conv->adc2boost(c);
        if (!breakpoints.isEmpty())
            ui->out[p].table->set_vert_axis_values(breakpoints);
    }
    if (history)
        history->rebase();
}

void MainWindow::when_act_intercept_recalc(double act_intercept)
{
    {
        const QSignalBlocker quiet(ui->active_intercept);
        ui->active_intercept->setValue(act_intercept);
    }
    for (int_index i : {int_active_slope, int_active_intercept, int_active_atm, int_active_deadband})
        add_to_set(i);
}

void MainWindow::commit_pending_edit()
{
    // Leaving a field is what commits it: a typed value is snapped and marked, an open cell
    // editor writes its cell. Tool-bar buttons take no focus, so that has to be done here.
    if (QWidget* focused = QApplication::focusWidget())
        if (isAncestorOf(focused))
            focused->clearFocus();
}
