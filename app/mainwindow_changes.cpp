// Change tracking: every edit marks the table or parameter it belongs to, and Write hands exactly
// those to the worker. The Write action's LED is red while something is marked.
#include "app/mainwindow.h"

#include "app/main_form.h"

#include <QAction>
#include <QPushButton>
#include <QtDebug>

namespace {
// What the window can produce: the four duty tables and every parameter but the unit's read-only
// measurements (indices 2 to 12).
bool window_writes(int_index i)
{
    return i <= int_pump_prime_delay || (i >= int_main_mode && i < int_last);
}
}

void MainWindow::add_to_set(table_index i)
{
    if (updating_fields)
        return;
    qDebug().noquote() << "Adding" << table_names.value(i);
    changed_tables.insert(i);
    set_changes_pending(true);
    request_step();
}

void MainWindow::add_to_set(int_index i)
{
    if (updating_fields)
        return;
    qDebug().noquote() << "Adding" << int_names.value(i);
    changed_ints.insert(i);
    set_changes_pending(true);
    request_step();
}

void MainWindow::add_to_set(adc_trim_index i)
{
    if (updating_fields)
        return;
    qDebug().noquote() << "Adding" << trim_names.value(i);
    changed_trims.insert(i);
    set_changes_pending(true);
}

void MainWindow::remove_from_set(int_index i)
{
    changed_ints.remove(i);
    if (changed_tables.isEmpty() && changed_ints.isEmpty() && changed_trims.isEmpty())
        set_changes_pending(false);
}

void MainWindow::add_all_to_set()
{
    // The factory calibration goes to the unit only once the user has opened it for editing.
    add_all_to_set(ui->map_cal_edit_defaults->isChecked());
}

void MainWindow::add_all_to_set(bool with_factory_calibration)
{
    for (int t = tbl_aux; t <= tbl_gpo2; ++t)
        changed_tables.insert(table_index(t));
    for (int i = 0; i < int_last; ++i) {
        const bool factory = i >= int_base_slope && i <= int_base_atm;
        if (window_writes(int_index(i)) && (with_factory_calibration || !factory))
            changed_ints.insert(int_index(i));
    }
    set_changes_pending(true);
}

void MainWindow::clear_change_sets()
{
    changed_tables.clear();
    changed_ints.clear();
    changed_trims.clear();
    set_changes_pending(false);
}

void MainWindow::set_changes_pending(bool pending)
{
    changes_pending = pending;
    ui->act_write->setIcon(pending ? red_led : green_led);
}
