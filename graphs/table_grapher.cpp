#include "graphs/table_grapher.h"

#include "graphs/table_graph.h"
#include "tables/duty_colours.h"

#include <QtGlobal>
#include <mgl2/qmathgl.h>

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
    mgl_surf(g, &data, "#Bbclgeyqrr", "meshnum 15");
    return 0;
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
