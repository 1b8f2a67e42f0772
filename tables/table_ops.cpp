#include "tables/table_ops.h"

#include <QRect>

#include <algorithm>
#include <cmath>

namespace {

struct block {
    QRect rect;        // x: columns, y: rows
    bool rectangular;  // every cell of rect is selected
};

block block_of(const QVector<QPoint>& selected)
{
    QRect rect;
    for (const QPoint& p : selected)
        rect |= QRect(p, QSize(1, 1));
    QVector<QPoint> unique = selected;
    std::sort(unique.begin(), unique.end(), [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    return {rect, !rect.isEmpty() && unique.size() == rect.width() * rect.height()};
}

QString needs(table_op op, const block& b)
{
    const int w = b.rect.width(), h = b.rect.height();
    switch (op) {
    case table_op::interpolate_horizontal:
        return b.rectangular && w >= 2 ? QString() : QStringLiteral("Interpolating across needs a rectangle at least 2 cells wide");
    case table_op::interpolate_vertical:
        return b.rectangular && h >= 2 ? QString() : QStringLiteral("Interpolating down needs a rectangle at least 2 cells high");
    case table_op::interpolate_both:
        return b.rectangular && w >= 2 && h >= 2 ? QString()
                                                 : QStringLiteral("Interpolating both ways needs a rectangle of at least 2 x 2 cells");
    case table_op::smooth:
        return b.rectangular && w >= 3 && h >= 3 ? QString()
                                                 : QStringLiteral("Smoothing needs a rectangle of at least 3 x 3 cells; its edges are kept");
    default:
        return w > 0 ? QString() : QStringLiteral("Select the cells first");
    }
}

double lerp(double a, double b, int at, int span)
{
    return a + (b - a) * at / span;
}

// The weighted mean of a cell and its eight neighbours: centre 4, edges 2, corners 1.
double smoothed(const cell_grid& g, int row, int col)
{
    double sum = 0, weight = 0;
    for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc) {
            const int r = row + dr, c = col + dc;
            if (r < 0 || c < 0 || r >= g.rows || c >= g.cols)
                continue;
            const double w = (dr == 0 ? 2 : 1) * (dc == 0 ? 2 : 1);
            sum += w * g.at(r, c);
            weight += w;
        }
    return sum / weight;
}

double value_for(table_op op, const cell_grid& g, const QRect& r, int row, int col, double amount)
{
    const int top = r.top(), left = r.left(), bottom = r.bottom(), right = r.right();
    switch (op) {
    case table_op::interpolate_horizontal:
        return lerp(g.at(row, left), g.at(row, right), col - left, right - left);
    case table_op::interpolate_vertical:
        return lerp(g.at(top, col), g.at(bottom, col), row - top, bottom - top);
    case table_op::interpolate_both:
        return lerp(lerp(g.at(top, left), g.at(top, right), col - left, right - left),
                    lerp(g.at(bottom, left), g.at(bottom, right), col - left, right - left), row - top, bottom - top);
    case table_op::smooth:
        if (row == top || row == bottom || col == left || col == right)
            return g.at(row, col);
        return smoothed(g, row, col);
    case table_op::scale:
        return g.at(row, col) * amount / 100.0;
    case table_op::add:
        return g.at(row, col) + amount;
    case table_op::set:
        return amount;
    }
    return g.at(row, col);
}

} // namespace

int duty_from(double value, int* clamped)
{
    const double whole = std::round(value); // half away from zero
    if (whole < 0 || whole > 100) {
        ++*clamped;
        return whole < 0 ? 0 : 100;
    }
    return int(whole);
}

QString clamped_message(int cells, const QString& kind)
{
    if (cells == 0)
        return {};
    const QString what = kind.isEmpty() ? QString() : kind + QLatin1Char(' ');
    return cells == 1 ? QStringLiteral("1 %1cell was clamped to 0 to 100 %").arg(what)
                      : QStringLiteral("%1 %2cells were clamped to 0 to 100 %").arg(cells).arg(what);
}

op_result apply_table_op(table_op op, const cell_grid& grid, const QVector<QPoint>& selected, double amount)
{
    op_result result;
    const block b = block_of(selected);
    result.refusal = needs(op, b);
    if (!result.refusal.isEmpty())
        return result;
    result.cells = grid.cells;
    for (const QPoint& p : selected) {
        const double v = value_for(op, grid, b.rect, p.y(), p.x(), amount);
        result.cells[p.y() * grid.cols + p.x()] = duty_from(v, &result.clamped);
    }
    return result;
}
