#pragma once
// Holds the height grid of one duty table and draws it as a coloured surface.

#include <QColor>
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

    const mglData& grid() const { return data; }
    int renders() const { return draws; }
    static std::array<QColor, band_count> band_colours();

private:
    void refresh_owner();

    mglData data;
    table_graph* owner;
    std::array<QColor, band_count> bands;
    int draws = 0;
};
