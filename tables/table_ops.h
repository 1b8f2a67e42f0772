#pragma once
// The operations a tuner runs on a block of duty cells. Pure: they take the grid's values and give
// the new ones, so the grid, its toolbar and the undo history all share one set of results.

#include <QPoint>
#include <QString>
#include <QVector>

// Whole percent, row-major, row 0 at the top as the grid shows it.
struct cell_grid {
    int rows = 0;
    int cols = 0;
    QVector<int> cells;

    int at(int row, int col) const { return cells[row * cols + col]; }
};

enum class table_op { interpolate_horizontal, interpolate_vertical, interpolate_both, smooth, scale, add, set };

struct op_result {
    QVector<int> cells; // the whole grid afterwards; empty when refused
    int clamped = 0;    // results that had to be held within 0 to 100
    QString refusal;    // why nothing was done
};

// selected: (column, row) of each selected cell. amount: the percentage of scale, the step of add,
// the value of set.
op_result apply_table_op(table_op op, const cell_grid& grid, const QVector<QPoint>& selected, double amount = 0);

// A duty the unit can hold: rounded half away from zero and held within 0 to 100, counting each
// value that had to be held in.
int duty_from(double value, int* clamped);
// "1 cell was clamped to 0 to 100 %", "3 pasted cells were ..."; empty for none.
QString clamped_message(int cells, const QString& kind = QString());
