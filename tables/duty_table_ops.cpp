// Table operations on the selected cells: by key, from the context menu and from the toolbar above
// the grid. Each ends with one many_cells_updated, named in last_change for the undo history.

#include "tables/duty_table.h"

#include <QAction>
#include <QInputDialog>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace {
struct op_row {
    table_op op;
    const char* text;
    const char* key;
    const char* tip;
};

const op_row op_rows[] = {
    {table_op::interpolate_horizontal, "Interpolate horizontally", "H", "Each row straight from its first to its last selected cell"},
    {table_op::interpolate_vertical, "Interpolate vertically", "V", "Each column straight from its top to its bottom selected cell"},
    {table_op::interpolate_both, "Interpolate both", "B", "Every cell from the selection's four corners"},
    {table_op::smooth, "Smooth", "S", "Each inner cell to the weighted mean of its neighbours; the selection's edges stay"},
    {table_op::scale, "Scale by %...", "*", "Multiply the selected cells by a percentage"},
    {table_op::add, "Add...", "+ / -", "Add or subtract: + and - by 1, with Shift by 5, or a typed amount here"},
    {table_op::set, "Set...", "=", "Give the selected cells one value"},
};
}

QString duty_table::op_name(table_op op)
{
    for (const op_row& r : op_rows)
        if (r.op == op)
            return QString::fromLatin1(r.text).remove(QStringLiteral("..."));
    return {};
}

const QList<QAction*>& duty_table::op_actions()
{
    if (!ops.isEmpty())
        return ops;
    for (const op_row& r : op_rows) {
        QAction* a = new QAction(QString::fromLatin1(r.text), this);
        a->setToolTip(QStringLiteral("%1 (%2): %3").arg(op_name(r.op), QLatin1String(r.key), QLatin1String(r.tip)));
        a->setStatusTip(a->toolTip());
        const table_op op = r.op;
        connect(a, &QAction::triggered, this, [this, op] { ask_and_run(op); });
        ops << a;
    }
    return ops;
}

cell_grid duty_table::grid() const
{
    cell_grid g{rowCount(), columnCount(), {}};
    g.cells.reserve(g.rows * g.cols);
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.cols; ++c)
            g.cells << cell_int(r, c);
    return g;
}

void duty_table::set_cells(const QVector<int>& cells, const QString& change)
{
    if (cells.size() != rowCount() * columnCount())
        return;
    {
        const QSignalBlocker blocker(this);
        for (int r = 0; r < rowCount(); ++r)
            for (int c = 0; c < columnCount(); ++c) {
                const int v = cells[r * columnCount() + c];
                if (!item(r, c) || cell_int(r, c) != v || item(r, c)->text() != QString::number(v))
                    set_cell(r, c, QString::number(v));
            }
    }
    last_change = change;
    emit_all_cells();
}

bool duty_table::run_op(table_op op, double amount)
{
    if (refuse_while_script_runs())
        return false;
    QVector<QPoint> selected;
    for (const QModelIndex& cell : selectedIndexes())
        selected << QPoint(cell.column(), cell.row());
    const op_result result = apply_table_op(op, grid(), selected, amount);
    if (!result.refusal.isEmpty()) {
        tell(result.refusal);
        return false;
    }
    set_cells(result.cells, op_name(op) + QStringLiteral(" in"));
    tell(clamped_message(result.clamped));
    return true;
}

void duty_table::ask_and_run(table_op op)
{
    double amount = 0;
    const bool asks = op == table_op::scale || op == table_op::add || op == table_op::set;
    if (asks && refuse_while_script_runs())
        return;
    if (op == table_op::scale && !ask_amount(op_name(op), QStringLiteral("Percentage of each cell:"), 100, -1000, 1000, &amount))
        return;
    if (op == table_op::add && !ask_amount(op_name(op), QStringLiteral("Add to each cell (negative subtracts):"), 1, -100, 100, &amount))
        return;
    if (op == table_op::set && !ask_amount(op_name(op), QStringLiteral("Duty for the selected cells (%):"), 0, 0, 100, &amount))
        return;
    run_op(op, amount);
}

bool duty_table::ask_amount(const QString& title, const QString& label, double value, double min, double max, double* out)
{
    if (amount_asker)
        return amount_asker(title, label, value, min, max, out);
    bool ok = false;
    *out = QInputDialog::getDouble(this, title, label, value, min, max, 1, &ok);
    return ok;
}

bool duty_table::op_key(QKeyEvent* event)
{
    if (state() == QAbstractItemView::EditingState)
        return false;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_H: run_op(table_op::interpolate_horizontal); return true;
    case Qt::Key_V: run_op(table_op::interpolate_vertical); return true;
    case Qt::Key_B: run_op(table_op::interpolate_both); return true;
    case Qt::Key_S: run_op(table_op::smooth); return true;
    case Qt::Key_Asterisk: ask_and_run(table_op::scale); return true;
    case Qt::Key_Equal: ask_and_run(table_op::set); return true;
    // Shift is part of '+' on many layouts: there it counts only on the keypad.
    case Qt::Key_Plus: run_op(table_op::add, shift && (event->modifiers() & Qt::KeypadModifier) ? 5 : 1); return true;
    case Qt::Key_Minus: run_op(table_op::add, shift ? -5 : -1); return true;
    case Qt::Key_Underscore: run_op(table_op::add, -5); return true; // Shift and '-' on many layouts
    default: return false;
    }
}
