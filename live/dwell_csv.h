#pragma once
// A dwell map for a spreadsheet: three grids, time spent, hits and mean duty, each headed by its
// name and the axes' units in the corner, the engine speed breakpoints across and the load
// breakpoints down from the top row, as the table shows them. One blank line between grids.

#include "live/dwell_map.h"

#include <QByteArray>
#include <QStringList>

// rows: the load breakpoints' texts from the top row down; columns: the engine speed texts.
QByteArray dwell_csv(const dwell_map& map, const QStringList& rows, const QStringList& columns, const QString& load_unit);
