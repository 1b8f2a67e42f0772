// Clipboard, delete, keys, context menu and the enabled look of the duty grid.

#include "tables/duty_table.h"
#include "tables/table_ops.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QtDebug>

#include <algorithm>

namespace {
QModelIndexList sorted(QModelIndexList cells)
{
    std::sort(cells.begin(), cells.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    return cells;
}

bool is_integer(const QString& piece)
{
    bool ok = false;
    piece.toInt(&ok);
    return ok;
}

// A cell holds what the unit can: whole percent from 0 to 100. Shown as typed, a 150 would be
// written as 100 without a word.
QString clamped_duty(const QString& piece, int* clamped)
{
    return QString::number(duty_from(piece.toInt(), clamped));
}
}

void duty_table::tell_clamped(int cells)
{
    tell(clamped_message(cells, QStringLiteral("pasted")));
}

void duty_table::copy()
{
    const QModelIndexList cells = sorted(selectedIndexes());
    if (cells.isEmpty())
        return;
    QString text;
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0)
            text += cells[i].row() != cells[i - 1].row() ? QLatin1Char('\n') : QLatin1Char('\t');
        text += cells[i].data(Qt::DisplayRole).toString();
    }
    text += QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}

void duty_table::clear()
{
    clear_cells(QStringLiteral("Delete in"));
}

void duty_table::clear_cells(const QString& change)
{
    if (refuse_while_script_runs())
        return;
    const QModelIndexList cells = selectedIndexes();
    if (cells.isEmpty())
        return;
    {
        const QSignalBlocker blocker(this);
        for (const QModelIndex& cell : cells)
            set_cell(cell.row(), cell.column(), QStringLiteral("0"));
    }
    last_change = change;
    emit_all_cells();
}

void duty_table::cut()
{
    if (refuse_while_script_runs())
        return;
    copy();
    clear_cells(QStringLiteral("Cut from"));
}

void duty_table::paste()
{
    if (refuse_while_script_runs())
        return;
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    QStringList pieces = text.split(QRegularExpression(QStringLiteral("\n|\t")));
    while (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast();
    const int rows = text.count(QLatin1Char('\n'));
    if (rows == 0)
        return;
    const int cols = pieces.size() / rows;
    if (cols == 0 || pieces.size() % rows != 0)
        return;

    if (rows == 1 && cols == 1) {
        // Spreadsheets end lines with CR LF; the CR is not part of the number.
        const QString value = pieces.first().trimmed();
        const QModelIndexList cells = selectedIndexes();
        if (cells.isEmpty())
            return;
        if (!is_integer(value)) {
            qWarning() << "Text in clipboard not a valid number" << value;
            return;
        }
        int clamped = 0;
        const QString kept = clamped_duty(value, &clamped);
        {
            const QSignalBlocker blocker(this);
            for (const QModelIndex& cell : cells)
                set_cell(cell.row(), cell.column(), kept);
        }
        tell_clamped(clamped * cells.size());
    } else {
        tell_clamped(paste_block(pieces, rows, cols));
    }
    last_change = QStringLiteral("Paste into");
    emit_all_cells();
}

int duty_table::paste_block(const QStringList& pieces, int rows, int cols)
{
    const QSignalBlocker blocker(this);
    int clamped = 0;
    for (int r = 0; r < rows; ++r) {
        const int row = currentRow() + r;
        for (int c = 0; c < cols; ++c) {
            const int column = currentColumn() + c;
            if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
                continue;
            QString piece = pieces.at(r * cols + c).trimmed();
            if (piece.isEmpty())
                piece = QStringLiteral("0");
            if (!is_integer(piece)) {
                qWarning() << "Text in clipboard not a valid number" << piece;
                continue;
            }
            set_cell(row, column, clamped_duty(piece, &clamped));
        }
    }
    return clamped;
}

void duty_table::keyPressEvent(QKeyEvent* event)
{
    if (op_key(event))
        return;
    if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::Paste))
        paste();
    else if (event->matches(QKeySequence::Delete))
        clear();
    else if (event->matches(QKeySequence::Cut))
        cut();
    else
        QTableWidget::keyPressEvent(event);
}

void duty_table::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Cut (ctrl+x)"), this, &duty_table::cut);
    menu.addAction(QStringLiteral("Copy (ctrl+c)"), this, &duty_table::copy);
    menu.addAction(QStringLiteral("Paste (ctrl+v)"), this, &duty_table::paste);
    menu.addAction(QStringLiteral("Delete (del)"), this, &duty_table::clear);
    menu.addSeparator();
    menu.addActions(op_actions());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Scripts"), this, &duty_table::script);
    menu.exec(event->globalPos());
}

void duty_table::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        show_cross(isEnabled() && highlight_visible);
        refresh_all_colours();
    }
    QTableWidget::changeEvent(event);
}
