// The form's start-up values and the duty tables' axes.
#include "app/mainwindow.h"

#include "app/main_form.h"
#include "graphs/log_graph.h"
#include "tables/duty_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtDebug>

namespace {
void set_off(QWidget* field, double value)
{
    if (auto* real = qobject_cast<QDoubleSpinBox*>(field))
        real->setValue(value);
    else if (auto* whole = qobject_cast<QSpinBox*>(field))
        whole->setValue(int(value));
    else if (auto* combo = qobject_cast<QComboBox*>(field))
        combo->setCurrentIndex(int(value));
    field->setEnabled(false);
}
}

void MainWindow::set_fields_to_defaults()
{
    updating_fields = true;
    ui->max_engine_speed->setValue(8000);
    ui->pulses_per_rev->setValue(0.5);
    ui->min_boost->setValue(0.0);
    ui->max_boost->setValue(36.0);
    ui->min_an1_input->setValue(0.0);
    ui->max_an1_input->setValue(4.7);
    ui->min_an2_input->setValue(0.0);
    ui->max_an2_input->setValue(4.7);
    for (QDoubleSpinBox* over : {ui->main_overcurrent_limit, ui->aux_overcurrent_limit})
        over->setValue(25.0); // held at the field's maximum
    for (QDoubleSpinBox* under : {ui->main_undercurrent_limit, ui->aux_undercurrent_limit})
        under->setValue(2.0);
    ui->main_time_delay->setValue(500);
    ui->aux_time_delay->setValue(500);
    ui->main_min_duty->setValue(15);
    ui->aux_min_duty->setValue(15);
    for (QSpinBox* trim : {ui->battery_trim, ui->an_a_trim, ui->an_b_trim, ui->main_current_trim, ui->aux_current_trim})
        trim->setValue(0);
    ui->gpi1_control->setCurrentIndex(0);
    ui->gpi2_control->setCurrentIndex(0);
    for (QSpinBox* gpi : {ui->gpi1_request, ui->gpi1_act_delay, ui->gpi1_deact_delay, ui->gpi2_request,
                          ui->gpi2_act_delay, ui->gpi2_deact_delay})
        set_off(gpi, 0);
    ui->map_cal_edit_defaults->setChecked(false);
    set_off(ui->base_slope, 16.122);
    set_off(ui->base_intercept, 222.312);
    set_off(ui->base_atm, 223.0);
    ui->active_slope->setValue(16.122);
    ui->active_intercept->setValue(222.312);
    ui->active_atm->setValue(223.0);
    ui->active_deadband->setValue(3.0);
    set_off(ui->pump_prime_delay, 0);
    set_off(ui->pump_prime_delay_2, 0);
    for (output_form& o : ui->out) {
        o.control->setCurrentIndex(0);
        set_off(o.vert_axis, 0);
        set_off(o.vert_axis_gt, 4.0);
        set_off(o.horz_axis_gt, 1500);
        if (o.act_delay) {
            set_off(o.act_delay, 0);
            set_off(o.deact_delay, 0);
        }
        o.override_value->setValue(-1);
    }
    ui->live_collapse->setChecked(false);
    ui->live_collapse->setText(QStringLiteral("^^^ Hide Options ^^^"));
    ui->live_display_format->setCurrentIndex(0);
    ui->live_log_use_timer->setChecked(false);
    ui->live_log_timer_start->setValue(5);
    ui->live_log_graph->scale_rpm_axis(8000);
    updating_fields = false;
}

void MainWindow::init_tables()
{
    updating_fields = true;
    for (output_form& o : ui->out) {
        o.table->set_all_cells(QStringLiteral("0"));
        set_table_axis(o.desc->index);
        o.table->setEnabled(false);
    }
    updating_fields = false;
}

void MainWindow::set_table_axis(table_index i)
{
    if (i < tbl_aux || i > tbl_gpo2) {
        qCritical() << "Unhandled table" << table_names.value(i);
        return;
    }
    const output_form& o = ui->out[outputs::position_of(i)];
    switch (o.vert_axis->currentIndex()) {
    case 0:
        if (ui->boost_select->currentText() == QLatin1String("PSI"))
            o.table->set_vert_axis_boost(ui->min_boost->value(), ui->max_boost->value());
        else
            o.table->set_vert_axis_linear(ui->min_boost->value(), ui->max_boost->value());
        break;
    case 1:
        o.table->set_vert_axis_linear(ui->min_an1_input->value(), ui->max_an1_input->value());
        break;
    case 2:
        o.table->set_vert_axis_linear(ui->min_an2_input->value(), ui->max_an2_input->value());
        break;
    default:
        qCritical() << "Unhandled vert axis" << o.vert_axis->currentIndex();
        return;
    }
    o.table->set_horz_axis(ui->max_engine_speed->value());
}
