// The live read-outs on the Live View tab and under each duty table.
#include "app/mainwindow.h"

#include "app/main_form.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>

void MainWindow::clear_live_values()
{
    for (output_form& o : ui->out) {
        o.duty_live_value->setValue(0);
        o.horz_live_value->setValue(0);
        o.vert_live_value->setValue(0);
    }
    for (QLineEdit* text : {ui->live_rpm, ui->live_map, ui->live_main_duty, ui->live_main_current, ui->live_gpo2_duty,
                            ui->live_gpo1_duty, ui->live_gpi2_state, ui->live_gpi1_state, ui->live_battery_voltage,
                            ui->live_aux_duty, ui->live_aux_current, ui->live_an_b_voltage, ui->live_an_a_voltage})
        text->setText(QStringLiteral("0"));
    ui->live_aux_master->clear();
}
