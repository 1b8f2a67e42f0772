#pragma once
// Beside the live chart: the recording's markers, and the statistics of the range selected on the
// chart with the channels to export.

#include "live/log_marker.h"
#include "live/range_stats.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

class chart_panel : public QWidget {
    Q_OBJECT
public:
    explicit chart_panel(QWidget* parent);

    void set_markers(const QList<log_marker>& markers);
    // One row per channel: minimum, maximum and mean; checked rows are the ones exported.
    void show_summary(const range_summary& summary, const channel_scale& scale);
    void clear_summary();
    QList<int> chosen_channels() const;

    QListWidget* markers;
    QPushButton* add_marker;
    QLabel* range_duration;
    QTableWidget* range_stats;
    QPushButton* export_range;
    QPushButton* clear_range;
};
