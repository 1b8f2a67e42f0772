// Compare, restore points and the read-back of a write: the window's side. The differences come
// from model/settings_diff and the points from model/restore_points, as brennix-cli's do; the
// window supplies the form and the unit, and takes chosen values into the form as one undo step.
#include "app/mainwindow.h"

#include "app/compare_dialog.h"
#include "app/main_form.h"
#include "app/prompts.h"
#include "app/restore_points_dialog.h"
#include "device/rv8.h"
#include "model/param_units.h"
#include "model/restore_points.h"
#include "model/table_record.h"
#include "model/write_group.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QtDebug>

namespace {
bool factory_calibration(const setting_change& c)
{
    return c.param >= 0 && group_of(int_index(c.param)) == g_base_map_cal;
}

// Trailer fields (currents, delays, minimum duty, thresholds) decode without touching the axes.
bool trailer_field(const setting_change& c)
{
    return !c.cell() && c.offset >= 608 && c.offset + c.width <= 638;
}
} // namespace

void MainWindow::connect_compare()
{
    act_compare = new QAction(QStringLiteral("Compare..."), this);
    act_compare->setObjectName(QStringLiteral("act_compare"));
    act_compare->setStatusTip(QStringLiteral("Compare the form, the unit, a settings file or a restore point, and take "
                                             "chosen values into the form"));
    act_restore_points = new QAction(QStringLiteral("Restore Points..."), this);
    act_restore_points->setObjectName(QStringLiteral("act_restore_points"));
    act_restore_points->setStatusTip(QStringLiteral("The unit's settings as they were before each write"));
    ui->menuDevice->addSeparator();
    ui->menuDevice->addActions({act_compare, act_restore_points});
    ui->toolBar->addSeparator();
    ui->toolBar->addAction(act_compare);
    connect(act_compare, &QAction::triggered, this, [this] { open_compare(); });
    connect(act_restore_points, &QAction::triggered, this, &MainWindow::open_restore_points);
    rv8_worker* worker = controller->worker;
    connect(worker, &rv8_worker::snapshot_read, this, &MainWindow::when_snapshot_read);
    connect(worker, &rv8_worker::restore_point, this, &MainWindow::when_restore_point);
    connect(worker, &rv8_worker::write_checked, this, &MainWindow::when_write_checked);
    // A list left open shows the point the write just made, and what it wrote.
    connect(worker, &rv8_worker::wrote_data, this, [this] {
        if (points_dialog && points_dialog->isVisible())
            points_dialog->show_unit(unit_serial);
    });
    worker->set_restore_points(true);
}

compare_dialog* MainWindow::compare_window()
{
    if (!compare) {
        compare = new compare_dialog(this);
        connect(compare, &compare_dialog::side_wanted, this, &MainWindow::provide_side);
        connect(compare, &compare_dialog::take_wanted, this, &MainWindow::take_compared);
    }
    compare->show();
    compare->raise();
    return compare;
}

void MainWindow::open_compare()
{
    compare_dialog* dialog = compare_window();
    if (!dialog->holds(0) && !dialog->holds(1)) {
        // What the form would change on the unit: the unit's values on the left.
        if (device_connected && fw_version != 0)
            dialog->choose(0, compare_dialog::unit);
        dialog->choose(1, compare_dialog::form);
        return;
    }
    // Opened again: the form and the unit as they are now; files and points stay as chosen.
    for (int side = 0; side < 2; ++side)
        if (dialog->kind_of(side) == compare_dialog::form || dialog->kind_of(side) == compare_dialog::unit)
            dialog->choose(side, dialog->kind_of(side));
}

void MainWindow::open_restore_points()
{
    if (!points_dialog) {
        points_dialog = new restore_points_dialog(this);
        connect(points_dialog, &restore_points_dialog::compare_wanted, this, &MainWindow::compare_point);
    }
    points_dialog->show_unit(device_connected && fw_version != 0 ? unit_serial : QString());
    points_dialog->show();
    points_dialog->raise();
}

void MainWindow::compare_point(const QString& path)
{
    compare_dialog* dialog = compare_window();
    dialog->choose(0, compare_dialog::unit);
    load_compared(1, compare_dialog::point, path);
}

unit_settings MainWindow::form_settings()
{
    unit_settings s;
    for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2})
        s.tables[t] = gui_to_byteArray(t);
    for (int_index i : unit_settings::file_ints())
        s.ints[i] = field_to_int(i);
    return s;
}

void MainWindow::provide_side(int side, int kind)
{
    switch (kind) {
    case compare_dialog::form:
        compare->set_side(side, compare_dialog::form, QStringLiteral("the form"), form_settings());
        return;
    case compare_dialog::unit:
        if (!device_connected || fw_version == 0) {
            compare->side_failed(side, QStringLiteral("no unit is connected"));
            return;
        }
        if (!snapshot_sides.contains(side))
            snapshot_sides << side;
        controller->worker->read_snapshot();
        return;
    case compare_dialog::file: {
        const QString path = choose_file(file_request::open_file, QStringLiteral("Compare with a settings file"),
                                         settings_file_name, QLatin1String(settings_filter));
        load_compared(side, compare_dialog::file, path);
        return;
    }
    default: {
        const QString folder = restore_points::folder(unit_serial);
        const QString path = choose_file(file_request::open_file, QStringLiteral("Compare with a restore point"),
                                         unit_serial.isEmpty() ? restore_points::root() : folder, QLatin1String(settings_filter));
        load_compared(side, compare_dialog::point, path);
        return;
    }
    }
}

void MainWindow::load_compared(int side, int kind, const QString& path)
{
    if (path.isEmpty()) {
        compare->side_failed(side, QString());
        return;
    }
    unit_settings loaded;
    QStringList warnings;
    QString error;
    // Entries the file lacks keep the form's values, as Open keeps them.
    if (!unit_settings::load(path, form_settings(), &loaded, &warnings, &error)) {
        compare->side_failed(side, error);
        return;
    }
    QString label = QFileInfo(path).fileName();
    QString serial;
    QDateTime taken;
    if (kind == compare_dialog::point && restore_points::parse_name(label, &serial, &taken))
        label = QStringLiteral("restore point %1").arg(taken.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (!warnings.isEmpty())
        label += QStringLiteral(" (%1 missing, the form's taken)").arg(warnings.size());
    compare->set_side(side, compare_dialog::source_kind(kind), label, loaded);
}

void MainWindow::when_snapshot_read(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints)
{
    const QList<int> sides = snapshot_sides;
    snapshot_sides.clear();
    if (!compare)
        return;
    for (int side : sides) {
        if (compare->kind_of(side) != compare_dialog::unit)
            continue;
        if (status != FT_OK) {
            compare->side_failed(side, QStringLiteral("reading the unit failed (status %1)").arg(status));
            continue;
        }
        unit_settings unit(tables, ints);
        unit.complete_for_file(fw_version, unit_variant);
        compare->set_side(side, compare_dialog::unit,
                          QStringLiteral("unit %1 at %2").arg(unit_serial, QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))),
                          unit);
    }
}

void MainWindow::take_compared(QList<setting_change> chosen, const unit_settings& from, const QString& from_label)
{
    commit_pending_edit();
    const int asked = chosen.size();
    // The factory calibration is the sensor's: it changes only while Edit Defaults is held, as typing does.
    if (!ui->map_cal_edit_defaults->isChecked())
        chosen.erase(std::remove_if(chosen.begin(), chosen.end(), factory_calibration), chosen.end());
    const QString held_back = chosen.size() < asked ? QStringLiteral("; the factory MAP calibration is taken only while Edit "
                                                                     "Defaults is held")
                                                    : QString();
    const unit_settings before = form_settings();
    const unit_settings target = take_changes(before, from, chosen);
    updating_fields = true;
    bool calibration = false, ranges = false;
    for (const setting_change& c : qAsConst(chosen))
        if (c.param >= 0) {
            int_to_field(int_index(c.param), target.ints[c.param]);
            calibration = calibration || group_of(int_index(c.param)) == g_active_map_cal || factory_calibration(c);
            ranges = ranges || (c.param >= int_min_boost && c.param <= int_max_anb_input);
        }
    if (calibration)
        calibrate_converter();
    // The unit keeps no ranges: a taken range reaches it as the axes of the tables drawn from it.
    for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2}) {
        if (ranges)
            set_table_axis(t);
        take_table(t, chosen, target.tables[t]);
    }
    show_control_modes();
    updating_fields = false;

    const unit_settings after = form_settings();
    int changed_groups = 0;
    for (int g = 0; g < g_count; ++g) {
        bool differs = g <= g_gpo2_table && before.tables[g] != after.tables[g];
        for (int_index i : group_members(g))
            differs = differs || before.ints[i] != after.ints[i];
        if (!differs || (g == g_base_map_cal && !ui->map_cal_edit_defaults->isChecked()))
            continue;
        ++changed_groups;
        if (g <= g_gpo2_table)
            add_to_set(table_index(g));
        for (int_index i : group_members(g))
            add_to_set(i);
    }
    // One step now, whatever has the focus.
    if (changed_groups > 0)
        next_step_name = QStringLiteral("Take %1 setting(s) from %2").arg(chosen.size()).arg(from_label);
    record_step();
    status(changed_groups == 0 ? QStringLiteral("The form already held those values%1").arg(held_back)
                               : QStringLiteral("Took %1 setting(s) from %2 into the form; Write sends them%3")
                                     .arg(chosen.size())
                                     .arg(from_label, held_back));
    for (int side = 0; side < 2; ++side)
        if (compare->kind_of(side) == compare_dialog::form)
            compare->set_side(side, compare_dialog::form, QStringLiteral("the form"), after);
}

// Cells go in through the grid, trailer fields through their fields; anything that moves the
// axes (breakpoints, the load source) takes the whole record, as a Read would.
void MainWindow::take_table(table_index t, const QList<setting_change>& chosen, const QByteArray& target)
{
    bool cells = false, trailer = false, axes = false;
    for (const setting_change& c : chosen)
        if (c.group == t && c.param < 0) {
            cells = cells || c.cell();
            trailer = trailer || trailer_field(c);
            axes = axes || (!c.cell() && !trailer_field(c));
        }
    if (axes) {
        byteArray_to_gui(t, target);
        return;
    }
    const output_form& o = ui->out[outputs::position_of(t)];
    if (cells) {
        const table_record record(target);
        cell_grid grid = o.table->grid();
        for (const setting_change& c : chosen)
            if (c.group == t && c.cell())
                grid.cells[c.row * grid.cols + c.column] = counts_to_percent(record.cell(c.row, c.column));
        o.table->set_cells(grid.cells, QStringLiteral("Take into"));
    }
    if (trailer)
        decode_trailer(o, target);
}

void MainWindow::when_restore_point(QString path, QString error)
{
    restore_point_error = error;
    if (!path.isEmpty())
        qInfo().noquote() << "Restore point before the write:" << path;
}

void MainWindow::when_write_checked(QList<int> differing, QList<int> unread)
{
    write_differing = differing;
    write_unread = unread;
}

// The unit's image no longer says what it holds for the group: undo then marks it as an edit.
void MainWindow::forget_unit_group(int group)
{
    if (group <= g_gpo2_table)
        unit_tables.remove(group);
    for (int_index i : group_members(group))
        unit_ints.remove(i);
}
