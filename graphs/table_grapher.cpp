#include "graphs/table_grapher.h"

#include "graphs/table_graph.h"
#include "tables/duty_colours.h"

#include "tables/dwell_shading.h"

#include <QtGlobal>
#include <mgl2/qmathgl.h>

#include <algorithm>
#include <cmath>

constexpr char table_grapher::band_letters[];

table_grapher::table_grapher(table_graph* owner, int cols, int rows)
    : data(cols, rows), owner(owner), bands(band_colours())
{
}

std::array<QColor, table_grapher::band_count> table_grapher::band_colours()
{
    // One duty from inside each band of the grid's colour scale, so the surface reads the same
    // as the table beside it.
    static const quint8 sampled[band_count] = {5, 15, 25, 35, 46, 57, 75, 85, 95};
    std::array<QColor, band_count> colours;
    for (int i = 0; i < band_count; ++i)
        colours[i] = duty_colours(sampled[i]).background;
    return colours;
}

int table_grapher::Draw(mglGraph* gr)
{
    for (int i = 0; i < band_count; ++i)
        mgl_set_color(band_letters[i], bands[i].redF(), bands[i].greenF(), bands[i].blueF());
    ++draws;
    HMGL g = gr->Self();
    mgl_box_str(g, "", 1);
    mgl_set_ranges(g, 0, double(data.nx), 0, double(data.ny), 0, 100);
    mgl_set_origin(g, 0, 0, 0);
    if (heat.size() == data.nx * data.ny) {
        // The dwell ramp in letters the program does not use otherwise: white where plain, the
        // ramp from 0.4 on.
        static const char heat_letters[] = "pPuU";
        for (int i = 0; i < 4; ++i) {
            const QColor c = dwell_shading::colour(i / 3.0);
            mgl_set_color(heat_letters[i], c.redF(), c.greenF(), c.blueF());
        }
        mglData colours(data.nx, data.ny);
        for (long i = 0; i < data.nx * data.ny; ++i)
            colours.a[i] = heat[int(i)] < 0 ? 0.0 : 0.4 + 0.6 * heat[int(i)];
        mgl_set_range_val(g, 'c', 0, 1);
        mgl_surfc(g, &data, &colours, "#wwpPuU", "meshnum 15");
    } else {
        mgl_surf(g, &data, "#Bbclgeyqrr", "meshnum 15");
    }
    draw_trail(g);
    return 0;
}

void table_grapher::set_overlay(const QVector<double>& values, const QVector<QPointF>& cells)
{
    if (values == heat && cells == trail_cells)
        return;
    heat = values;
    trail_cells = cells;
    refresh_owner();
}

// The surface's height at a position in cells, as its mesh interpolates it.
double table_grapher::height_at(double column, double row) const
{
    const double x = std::clamp(column, 0.0, double(data.nx - 1));
    const double y = std::clamp(row, 0.0, double(data.ny - 1));
    const long x0 = long(x), y0 = long(y);
    const long x1 = std::min(x0 + 1, data.nx - 1), y1 = std::min(y0 + 1, data.ny - 1);
    const double fx = x - x0, fy = y - y0;
    const auto v = [this](long i, long j) { return double(data.a[i + data.nx * j]); };
    return (v(x0, y0) * (1 - fx) + v(x1, y0) * fx) * (1 - fy) + (v(x0, y1) * (1 - fx) + v(x1, y1) * fx) * fy;
}

void table_grapher::draw_trail(HMGL g)
{
    if (trail_cells.size() < 2 || data.nx < 2 || data.ny < 2)
        return;
    const long n = trail_cells.size();
    mglData x(n), y(n), z(n);
    // The surface spreads its points evenly over 0 to nx, so point i stands at i * nx / (nx - 1).
    const double sx = double(data.nx) / (data.nx - 1), sy = double(data.ny) / (data.ny - 1);
    for (long i = 0; i < n; ++i) {
        const QPointF& c = trail_cells[int(i)];
        x.a[i] = std::clamp(c.x(), 0.0, double(data.nx - 1)) * sx;
        y.a[i] = std::clamp(c.y(), 0.0, double(data.ny - 1)) * sy;
        z.a[i] = std::min(100.0, height_at(c.x(), c.y()) + 2);
    }
    mgl_plot_xyz(g, &x, &y, &z, "k3", "");
    mglData px(1), py(1), pz(1);
    px.a[0] = x.a[n - 1];
    py.a[0] = y.a[n - 1];
    pz.a[0] = z.a[n - 1];
    mgl_plot_xyz(g, &px, &py, &pz, "k#o", "");
}

void table_grapher::set_value(double value, int col, int row)
{
    if (col < 0 || row < 0 || col >= data.nx || row >= data.ny) {
        qCritical("Index out of bounds. %d > %ld || %d > %ld", col, data.nx - 1, row, data.ny - 1);
        return;
    }
    data.SetVal(value, col, data.ny - 1 - row);
    refresh_owner();
}

void table_grapher::set_values(const QVector<double>& values, int cols, int rows)
{
    data.Create(cols, rows);
    const long n = qMin<long>(values.size(), long(cols) * rows);
    for (long i = 0; i < n; ++i)
        data.a[i] = values[int(i)];
    refresh_owner();
}

void table_grapher::data_resize(int cols, int rows)
{
    data.Create(cols, rows);
}

void table_grapher::refresh_owner()
{
    if (owner)
        owner->redraw();
}
