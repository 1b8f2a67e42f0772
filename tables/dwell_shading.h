#pragma once
// How a dwell map is shown over a duty table: a warm colour for every cell the engine spent at least
// the minimum time in (the longer, the darker, on a logarithmic scale up to the longest), and the
// numbers of a cell for its tooltip. Shared by the grid and the 3-D surface.

#include "live/dwell_map.h"

#include <QColor>
#include <QString>
#include <QVector>

namespace dwell_shading {
// 0 for the minimum, 1 for the longest time; -1 below the minimum (the cell stays plain).
double heat(double seconds, double minimum, double longest);
QColor colour(double heat);
// Every cell, row by row from the top: its colour, or an invalid one where it stays plain.
QVector<QColor> colours(const dwell_map& map, double minimum);
// Every cell, row by row from the bottom (the surface's order): heat, -1 where plain.
QVector<double> heats(const dwell_map& map, double minimum);
// "12.3 s, 930 hits, mean duty 45.2 %", with ", mean current 3.40 A" for an output that has one.
QString tip(const dwell_map& map, int row, int column);
}
