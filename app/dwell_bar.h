#pragma once
// The dwell map's controls under one duty table: show it, the least time a cell must have to be
// shaded, reset it, export it, and how many seconds of trail to draw.

#include <QWidget>

class QCheckBox;
class QDoubleSpinBox;
class QPushButton;
class QSpinBox;

class dwell_bar : public QWidget {
    Q_OBJECT
public:
    // Object names begin with prefix: <prefix>_dwell_map, _dwell_minimum, _dwell_reset,
    // _dwell_export, _trail_seconds.
    dwell_bar(const QString& prefix, QWidget* parent);

    QCheckBox* show_map;
    QDoubleSpinBox* minimum;
    QPushButton* reset;
    QPushButton* export_csv;
    QSpinBox* trail;
};
