#pragma once
// Holds the height grid of one duty table and draws it as a coloured surface.

#include <QColor>
#include <QPointF>
#include <QVector>
#include <array>
#include <mgl2/mgl.h>
#include <mgl2/wnd.h>

class table_graph;

class table_grapher : public mglDraw {
public:
    // The colour letters of the surface scheme, lowest band first.
    static constexpr char band_letters[] = "Bbclgeyqr";
    static constexpr int band_count = 9;

    table_grapher(table_graph* owner, int cols, int rows);

    int Draw(mglGraph* gr) override;

    void set_value(double value, int col, int row);
    void set_values(const QVector<double>& values, int cols, int rows);
    void data_resize(int cols, int rows);
    // Colours the surface by heat (0 to 1; below 0 plain) instead of by duty, one value per point in
    // the order of set_values (an empty list brings the duty bands back), and draws the operating
    // point's trail in cells (columns, rows from the bottom) on it; nothing is drawn when neither
    // changed.
    void set_overlay(const QVector<double>& heat, const QVector<QPointF>& trail);

    const mglData& grid() const { return data; }
    int renders() const { return draws; }
    static std::array<QColor, band_count> band_colours();

private:
    void refresh_owner();
    void draw_trail(HMGL g);
    double height_at(double column, double row) const;

    mglData data;
    QVector<double> heat;
    QVector<QPointF> trail_cells;
    table_graph* owner;
    std::array<QColor, band_count> bands;
    int draws = 0;
};
