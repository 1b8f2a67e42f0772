// Undo and redo: every change a user makes to the settings form is one step of one history, and
// going back or forward keeps the change tracking true by comparing with what the unit holds.
#include "app/mainwindow.h"

#include "app/form_history.h"
#include "app/main_form.h"
#include "model/conv.h"
#include "model/write_group.h"
#include "tables/duty_table.h"
#include "tables/table_op_bar.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QUndoView>
#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace {
const QList<int> all_tables = {g_aux_table, g_main_table, g_gpo1_table, g_gpo2_table};

double number_of(const QWidget* w)
{
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentIndex();
    if (auto* real = qobject_cast<const QDoubleSpinBox*>(w))
        return real->value();
    return static_cast<const QSpinBox*>(w)->value();
}

void put_number(QWidget* w, double v)
{
    const QSignalBlocker quiet(w);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setCurrentIndex(int(v));
    else if (auto* real = qobject_cast<QDoubleSpinBox*>(w))
        real->setValue(v);
    else
        static_cast<QSpinBox*>(w)->setValue(int(std::lround(v)));
}

// "MAIN", "AUX", "GPO1", "GPO2", as the unit's tables are named.
QString output_title(const output_form& o)
{
    return QString::fromLatin1(o.desc->prefix).toUpper();
}

QString shown_text(const QWidget* w)
{
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentText();
    return static_cast<const QAbstractSpinBox*>(w)->text();
}
}

void MainWindow::build_history_fields()
{
    auto add = [this](QWidget* w, const QString& caption, QList<int> groups, int threshold_of = -1, bool boost = false) {
        history_fields.push_back({w, caption, std::move(groups), threshold_of, boost});
    };
    add(ui->pulses_per_rev, QStringLiteral("Pulses per revolution"), {g_rpm_scaler});
    add(ui->pump_prime_delay, QStringLiteral("Pump priming delay"), {g_pump_prime, g_io_modes});
    for (QComboBox* mode : {ui->gpi1_control, ui->gpi2_control})
        add(mode, mode == ui->gpi1_control ? QStringLiteral("GPI1 control") : QStringLiteral("GPI2 control"), {g_io_modes});
    const struct { QSpinBox* field; const char* caption; } io_fields[] = {
        {ui->gpi1_request, "GPI1 override duty"},      {ui->gpi2_request, "GPI2 override duty"},
        {ui->gpi1_act_delay, "GPI1 activation delay"}, {ui->gpi1_deact_delay, "GPI1 deactivation delay"},
        {ui->gpi2_act_delay, "GPI2 activation delay"}, {ui->gpi2_deact_delay, "GPI2 deactivation delay"},
    };
    for (const auto& f : io_fields)
        add(f.field, QLatin1String(f.caption), {g_io_modes});
    add(ui->base_slope, QStringLiteral("Factory MAP slope"), {g_base_map_cal});
    add(ui->base_intercept, QStringLiteral("Factory MAP intercept"), {g_base_map_cal});
    add(ui->base_atm, QStringLiteral("Factory MAP atmosphere"), {g_base_map_cal});
    add(ui->active_slope, QStringLiteral("Active MAP slope"), {g_active_map_cal});
    add(ui->active_intercept, QStringLiteral("Active MAP intercept"), {g_active_map_cal});
    add(ui->active_atm, QStringLiteral("Active MAP atmosphere"), {g_active_map_cal});
    add(ui->active_deadband, QStringLiteral("Active MAP deadband"), {g_active_map_cal});
    add(ui->min_boost, QStringLiteral("Min boost"), all_tables, -1, true);
    add(ui->max_boost, QStringLiteral("Max boost"), all_tables, -1, true);
    add(ui->min_an1_input, QStringLiteral("Min analog A input"), all_tables);
    add(ui->max_an1_input, QStringLiteral("Max analog A input"), all_tables);
    add(ui->min_an2_input, QStringLiteral("Min analog B input"), all_tables);
    add(ui->max_an2_input, QStringLiteral("Max analog B input"), all_tables);
    add(ui->max_engine_speed, QStringLiteral("Max engine speed"), all_tables);
    for (int p = 0; p < outputs::count; ++p) {
        const output_form& o = ui->out[p];
        const QString name = output_title(o);
        const QList<int> table = {int(o.desc->index)};
        add(o.control, name + QStringLiteral(" control"), {g_io_modes});
        add(o.vert_axis, name + QStringLiteral(" load axis"), table);
        add(o.vert_axis_gt, name + QStringLiteral(" load threshold"), table, p);
        add(o.horz_axis_gt, name + QStringLiteral(" speed threshold"), table);
        if (o.act_delay) {
            add(o.act_delay, name + QStringLiteral(" activation delay"), table);
            add(o.deact_delay, name + QStringLiteral(" deactivation delay"), table);
        }
    }
    const bool main = true;
    for (bool output : {main, !main}) {
        const QString name = output ? QStringLiteral("MAIN") : QStringLiteral("AUX");
        const QList<int> table = {output ? g_main_table : g_aux_table};
        add(output ? ui->main_overcurrent_limit : ui->aux_overcurrent_limit, name + QStringLiteral(" over-current limit"), table);
        add(output ? ui->main_undercurrent_limit : ui->aux_undercurrent_limit, name + QStringLiteral(" under-current limit"), table);
        add(output ? ui->main_time_delay : ui->aux_time_delay, name + QStringLiteral(" time delay"), table);
        add(output ? ui->main_min_duty : ui->aux_min_duty, name + QStringLiteral(" minimum duty"), table);
    }
}

void MainWindow::connect_history()
{
    build_history_fields();
    history = std::make_unique<form_history>(*static_cast<form_access*>(this));
    QUndoStack& stack = history->stack();
    act_undo = new QAction(QStringLiteral("Undo"), this);
    act_undo->setObjectName(QStringLiteral("act_undo"));
    act_undo->setShortcut(QKeySequence::Undo);
    act_redo = new QAction(QStringLiteral("Redo"), this);
    act_redo->setObjectName(QStringLiteral("act_redo"));
    act_redo->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    auto follow = [this, &stack] {
        act_undo->setEnabled(stack.canUndo());
        act_undo->setText(stack.canUndo() ? QStringLiteral("Undo %1").arg(stack.undoText()) : QStringLiteral("Undo"));
        act_redo->setEnabled(stack.canRedo());
        act_redo->setText(stack.canRedo() ? QStringLiteral("Redo %1").arg(stack.redoText()) : QStringLiteral("Redo"));
    };
    connect(&stack, &QUndoStack::indexChanged, this, follow);
    connect(&stack, &QUndoStack::cleanChanged, this, follow);
    follow();
    connect(act_undo, &QAction::triggered, this, [this] { step_history(false); });
    connect(act_redo, &QAction::triggered, this, [this] { step_history(true); });

    auto* view = new QUndoView(&stack);
    view->setObjectName(QStringLiteral("undo_view"));
    view->setEmptyLabel(QStringLiteral("(as opened)"));
    view->setMinimumWidth(260);
    auto* dock = new QDockWidget(QStringLiteral("Undo History"), this);
    dock->setObjectName(QStringLiteral("undo_history"));
    dock->setWidget(view);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    QMenu* edit = new QMenu(QStringLiteral("&Edit"), menuBar());
    edit->setObjectName(QStringLiteral("menuEdit"));
    edit->addActions({act_undo, act_redo});
    edit->addSeparator();
    QAction* show_history = dock->toggleViewAction();
    show_history->setObjectName(QStringLiteral("act_undo_history"));
    edit->addAction(show_history);
    menuBar()->insertMenu(ui->menuDevice->menuAction(), edit);

    for (output_form& o : ui->out) {
        const output_form* from = &o;
        o.table->amount_asker = [this](const QString& title, const QString& label, double value, double min, double max,
                                       double* out) { return ask_number(title, label, value, min, max, out); };
        for (const output_form& to : ui->out) {
            if (&to == from)
                continue;
            const output_form* target = &to;
            const QString name = output_title(to);
            o.ops->copy_menu()->addAction(name, this, [this, from, target] { copy_table(*from, *target, false); });
            o.ops->copy_menu()->addAction(name + QStringLiteral(" with its load axis"), this,
                                          [this, from, target] { copy_table(*from, *target, true); });
        }
    }
    // After the field's own handlers, which snap the value and mark it.
    for (const history_field& f : history_fields)
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(f.widget))
            connect(spin, &QAbstractSpinBox::editingFinished, this,
                    [this] { QTimer::singleShot(0, this, &MainWindow::record_step); });
    history->rebase();
}

void MainWindow::step_history(bool forward)
{
    // A script still running on a table would see its cells change under it.
    for (const output_form& o : ui->out)
        if (o.table->running_script()) {
            status(QStringLiteral("A cell script is still running; wait for it to finish"));
            return;
        }
    commit_pending_edit();
    if (forward)
        history->stack().redo();
    else
        history->stack().undo();
}

form_state MainWindow::read_form() const
{
    form_state s;
    for (int p = 0; p < outputs::count; ++p)
        s.cells[size_t(p)] = ui->out[p].table->grid().cells;
    s.fields.reserve(int(history_fields.size()));
    for (const history_field& f : history_fields) {
        const bool counts = f.boost || (f.threshold_of >= 0 && ui->out[f.threshold_of].vert_axis->currentIndex() == 0);
        s.fields << (counts ? double(conv->boost2adc(number_of(f.widget))) : number_of(f.widget));
    }
    return s;
}

void MainWindow::apply_form(const form_delta& delta, bool after)
{
    updating_fields = true;
    QSet<int> touched;
    bool axes = false;
    // Selectors first: a threshold's number means what its output's load source says.
    QVector<form_delta::field> changes = delta.fields;
    std::stable_partition(changes.begin(), changes.end(),
                          [this](const form_delta::field& c) { return qobject_cast<QComboBox*>(history_fields[size_t(c.index)].widget); });
    bool selectors_done = false;
    for (const form_delta::field& c : qAsConst(changes)) {
        const history_field& f = history_fields[size_t(c.index)];
        if (!qobject_cast<QComboBox*>(f.widget) && !selectors_done) {
            for (const output_form& o : ui->out)
                show_vert_source(o, o.vert_axis->currentIndex());
            selectors_done = true;
        }
        const double v = after ? c.after : c.before;
        const bool counts = f.boost || (f.threshold_of >= 0 && ui->out[f.threshold_of].vert_axis->currentIndex() == 0);
        put_number(f.widget, counts ? conv->adc2boost(quint16(v)) : v);
        for (int g : f.groups)
            touched.insert(g);
        axes = axes || f.groups == all_tables || f.widget == ui->out[0].vert_axis || f.widget == ui->out[1].vert_axis
               || f.widget == ui->out[2].vert_axis || f.widget == ui->out[3].vert_axis;
    }
    if (!selectors_done)
        for (const output_form& o : ui->out)
            show_vert_source(o, o.vert_axis->currentIndex());
    apply_cells(delta, after, &touched);
    ui->pump_prime_delay_2->setValue(ui->pump_prime_delay->value());
    show_control_modes();
    if (axes)
        for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2})
            set_table_axis(t);
    calibrate_converter();
    updating_fields = false;
    mark_against_unit(touched);
}

void MainWindow::apply_cells(const form_delta& delta, bool after, QSet<int>* touched)
{
    std::array<QVector<int>, outputs::count> cells;
    for (const form_delta::cell& c : delta.cells) {
        if (cells[size_t(c.table)].isEmpty())
            cells[size_t(c.table)] = ui->out[c.table].table->grid().cells;
        cells[size_t(c.table)][c.index] = after ? c.after : c.before;
    }
    for (int p = 0; p < outputs::count; ++p)
        if (!cells[size_t(p)].isEmpty()) {
            ui->out[p].table->set_cells(cells[size_t(p)], QString());
            touched->insert(ui->out[p].desc->index);
        }
}

void MainWindow::calibrate_converter()
{
    const double intercept = ui->active_intercept->value();
    conv->set_act_slope(ui->active_slope->value());
    conv->set_act_deadband(ui->active_deadband->value());
    conv->set_act_atm(ui->active_atm->value());
    conv->set_act_intercept(intercept);
    const QSignalBlocker quiet(ui->active_intercept);
    ui->active_intercept->setValue(intercept);
    conv->set_base_intercept(ui->base_intercept->value());
    conv->set_base_atm(quint16(ui->base_atm->value()));
}

// A group is marked when the form holds other values than the unit does, as far as the window
// knows what the unit holds; without a Read every group a step touched is marked, as an edit is.
void MainWindow::mark_against_unit(const QSet<int>& groups)
{
    for (int g : groups) {
        if (g <= g_gpo2_table) {
            const table_index t = table_index(g);
            if (!unit_tables.contains(t) || gui_to_byteArray(t) != unit_tables.value(t))
                changed_tables.insert(t);
            else
                changed_tables.remove(t);
            continue;
        }
        if (g == g_base_map_cal && !ui->map_cal_edit_defaults->isChecked())
            continue;
        const QList<int_index> members = group_members(g);
        bool differs = false;
        for (int_index i : members)
            differs = differs || !unit_ints.contains(i) || field_to_int(i) != unit_ints.value(i);
        for (int_index i : members) {
            if (differs)
                changed_ints.insert(i);
            else
                changed_ints.remove(i);
        }
    }
    set_changes_pending(!changed_tables.isEmpty() || !changed_ints.isEmpty() || !changed_trims.isEmpty());
}

void MainWindow::remember_unit_image()
{
    for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2})
        unit_tables[t] = gui_to_byteArray(t);
    for (int g = g_rpm_scaler; g < g_count; ++g)
        for (int_index i : group_members(g))
            unit_ints[i] = field_to_int(i);
}

// After a write: what the unit acknowledged is what the Write handed over.
void MainWindow::remember_written(const QList<int>& groups)
{
    for (int g : groups) {
        if (g <= g_gpo2_table && sent_tables.contains(g))
            unit_tables[g] = sent_tables.value(g);
        for (int_index i : group_members(g))
            if (sent_ints.contains(i))
                unit_ints[i] = sent_ints.value(i);
    }
    sent_tables.clear();
    sent_ints.clear();
}

void MainWindow::request_step(const QString& name)
{
    if (!history || history->applying() || updating_fields)
        return;
    if (!name.isEmpty())
        next_step_name = name;
    if (step_requested)
        return;
    step_requested = true;
    // A field being typed in is one step once it is committed, not one per key: its
    // editingFinished records it (connect_history).
    auto* typing = qobject_cast<QAbstractSpinBox*>(QApplication::focusWidget());
    if (typing && isAncestorOf(typing))
        return;
    QTimer::singleShot(0, this, &MainWindow::record_step);
}

void MainWindow::record_step()
{
    if (!step_requested)
        return;
    step_requested = false;
    QString name = next_step_name;
    next_step_name.clear();
    if (name.isEmpty())
        name = step_name(history->pending());
    history->record(name);
}

QString MainWindow::step_name(const form_delta& delta) const
{
    if (delta.fields.isEmpty() && !delta.cells.isEmpty()) {
        const int table = delta.cells.first().table;
        const bool one_table = std::all_of(delta.cells.begin(), delta.cells.end(), [table](const form_delta::cell& c) { return c.table == table; });
        if (one_table) {
            const output_form& o = ui->out[table];
            const QString change = o.table->last_change.isEmpty() ? QStringLiteral("Edit") : o.table->last_change;
            return change + QLatin1Char(' ') + output_title(o) + QStringLiteral(" table");
        }
    }
    // One field, or one selector with the fields that follow it (a threshold's unit, a mode's pair).
    QVector<form_delta::field> selectors;
    for (const form_delta::field& c : delta.fields)
        if (qobject_cast<QComboBox*>(history_fields[size_t(c.index)].widget))
            selectors << c;
    const QVector<form_delta::field>& named = selectors.size() == 1 ? selectors : delta.fields;
    if (named.size() == 1 && delta.cells.isEmpty()) {
        const history_field& f = history_fields[size_t(named.first().index)];
        return f.caption + QLatin1Char(' ') + shown_text(f.widget);
    }
    return QStringLiteral("Change %1 settings").arg(delta.fields.size() + (delta.cells.isEmpty() ? 0 : 1));
}

void MainWindow::copy_table(const output_form& from, const output_form& to, bool with_axis)
{
    if (from.table->running_script() || to.table->running_script()) {
        status(QStringLiteral("A cell script is still running; wait for it to finish"));
        return;
    }
    const int source = from.vert_axis->currentIndex();
    const int target = to.vert_axis->currentIndex();
    const QString from_name = output_title(from), to_name = output_title(to);
    if (source != target) {
        box_request box;
        box.text = QStringLiteral("Copy the %1 table to %2?").arg(from_name, to_name);
        box.informative = with_axis ? QStringLiteral("%1's load axis changes from %2 to %3, as %4's.")
                                          .arg(to_name, to.vert_axis->currentText(), from.vert_axis->currentText(), from_name)
                                    : QStringLiteral("%1's load axis is %2, %3's is %4: the cells keep their numbers, so they "
                                                     "stand for other loads there.")
                                          .arg(to_name, to.vert_axis->currentText(), from_name, from.vert_axis->currentText());
        box.icon = QMessageBox::Question;
        box.buttons = QMessageBox::Yes | QMessageBox::No;
        box.default_button = QMessageBox::No;
        if (ask(box) != QMessageBox::Yes)
            return;
    }
    next_step_name = QStringLiteral("Copy %1 table to %2").arg(from_name, to_name);
    if (with_axis)
        to.vert_axis->setCurrentIndex(source);
    to.table->set_cells(from.table->grid().cells, QStringLiteral("Copy into"));
}
