// The red cross-hair that follows the unit's live engine speed and load over the grid.

#include "tables/duty_table.h"

#include <QFrame>

#include <cmath>

namespace {
// Nearest integer, halves away from zero; a degenerate axis (two equal breakpoints, or none set yet)
// yields NaN or infinity here, which must not reach an int conversion.
int nearest_px(double v)
{
    if (std::isnan(v))
        return 0;
    return int(std::round(qBound(-1e6, v, 1e6)));
}

int to_px(double v)
{
    if (std::isnan(v))
        return 0;
    return int(qBound(-1e6, v, 1e6));
}

double fraction(double part, double whole)
{
    return whole == 0 ? 0.0 : part / whole;
}
}

void duty_table::set_clock(std::function<qint64()> clock)
{
    now_ms = std::move(clock);
    next_cross_update = now_ms();
}

int duty_table::cross_x_for(double rpm, double col_w) const
{
    int x = to_px(col_w / 2);
    const int columns = columnCount();
    for (int i = 1; i < columns; ++i) {
        const double h = horz_header_at(i);
        if (rpm <= h) {
            const double prev = horz_header_at(i - 1);
            return to_px(x + fraction(rpm - prev, h - prev) * col_w);
        }
        x = to_px(x + col_w);
    }
    if (columns < 2)
        return x;
    const double last = horz_header_at(columns - 1);
    const double before = horz_header_at(columns - 2);
    return to_px(x + fraction(rpm - last, (last - before) / 2) * col_w / 2);
}

int duty_table::cross_y_for(double load, double row_h) const
{
    const int bottom = rowCount() - 1;
    if (bottom < 1)
        return nearest_px(row_h / 2);
    const double b = vert_header_at(bottom);
    if (load < b) {
        const double u = vert_header_at(bottom - 1);
        const double edge = b - (u - b) / 2;
        if (load > edge)
            return nearest_px(fraction(load - edge, (u - b) / 2) * row_h / 2);
        return nearest_px(fraction(load - b, u - b) * row_h);
    }
    int y = nearest_px(row_h / 2);
    for (int r = bottom - 1; r >= 0; --r) {
        const double upper = vert_header_at(r);
        if (load > upper) {
            y += nearest_px(row_h);
            continue;
        }
        const double lower = vert_header_at(r + 1);
        return y + nearest_px(fraction(load - lower, upper - lower) * row_h);
    }
    const double top = vert_header_at(0);
    const double next = vert_header_at(1);
    return y + nearest_px(fraction(load - top, (top - next) / 2) * row_h / 2);
}

void duty_table::set_highlight(quint16 rpm, double load)
{
    const qint64 now = now_ms();
    if (now <= next_cross_update)
        return;
    const int w = viewport()->width();
    const int h = viewport()->height();
    const double col_w = columnCount() > 0 ? double(w) / columnCount() : 0.0;
    const double row_h = rowCount() > 0 ? double(h) / rowCount() : 0.0;

    cross_x = cross_x_for(rpm, col_w);
    cross_y = cross_y_for(load, row_h);
    vert_frame->setGeometry(QRect(QPoint(cross_x, 0), QPoint(cross_x, h - 1)));
    horz_frame->setGeometry(QRect(QPoint(0, h - cross_y), QPoint(w - 1, h - cross_y)));
    next_cross_update = now + 100;
}

QRect duty_table::vert_line_geometry() const
{
    return vert_frame->geometry();
}

QRect duty_table::horz_line_geometry() const
{
    return horz_frame->geometry();
}

bool duty_table::cross_shown() const
{
    return !vert_frame->isHidden() && !horz_frame->isHidden();
}

void duty_table::show_cross(bool show)
{
    vert_frame->setVisible(show);
    horz_frame->setVisible(show);
}

void duty_table::set_highlight_visible(bool visible)
{
    highlight_visible = visible;
    if (!visible)
        show_cross(false);
    else if (isEnabled())
        show_cross(true);
}
