#pragma once
// The live strip chart: columns of the log store against time, a pick marker, a checkable legend.

#include "live/log_marker.h"
#include "live/tsafe_qvector.h"

#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QPointF>
#include <QSharedPointer>
#include <QVariant>
#include <qwt/qwt_plot.h>

class QTimer;
class QwtPlotCurve;
class QwtPlotItem;
class QwtPlotMarker;
class QwtPlotPicker;
class QwtPlotZoneItem;
class stamp_order;

class log_graph : public QwtPlot {
    Q_OBJECT
public:
    typedef double (*conversion)(double);

    static constexpr double sample_period_ms = 13.13;
    // Replots while data arrives are held to about fifteen a second: a strip chart scrolls smoothly
    // at that rate, and redrawing fourteen antialiased curves at thirty took a fifth of a core.
    static constexpr int frame_ms = 66;

    explicit log_graph(QWidget* parent = nullptr);
    ~log_graph() override;

    void add_curve(const QString& name, const QColor& colour, const tsafe_qvector<qint64>* timestamps,
                   const tsafe_qvector<unsigned int>* values, unsigned int y_min, unsigned int y_max,
                   conversion conv);
    void add_shade(const QString& name, const QColor& colour, const tsafe_qvector<qint64>* timestamps,
                   const tsafe_qvector<unsigned int>* values, unsigned int y_min, unsigned int y_max,
                   conversion conv);
    QwtPlotCurve* get_curve(const QString& name) const;
    bool has_curve(const QString& name) const;
    void show_curve(const QString& name, bool on);
    void remove_curve(const QString& name);
    void show_item(QwtPlotItem* item, bool on);
    void clear_marker();

    const QwtPlotMarker* get_marker() const { return marker; }
    double window_ms() const { return window_samples * sample_period_ms; }

    // A stretch of time, shaded; a drag with Shift held selects one. range_selected follows.
    void select_range(double from, double to);
    void clear_range();
    bool has_range() const;
    QPair<double, double> range() const;
    // The markers of the recording, each a line at its record's time with its note.
    void set_log_markers(const QList<log_marker>& markers);
    int log_marker_count() const { return log_markers.size(); }
    const QwtPlotMarker* log_marker_line(int i) const { return log_markers.value(i); }
    // Brings a time into view (the middle of the window) when no live data moves it.
    void show_time(double t);

signals:
    void point_selected(QPointF point);
    // From, to in milliseconds since the epoch.
    void range_selected(double from, double to);
    void range_cleared();

public slots:
    void when_data_updated();
    void when_point_selected(QPointF point);
    void scale_rpm_axis(int max);
    void when_legend_checked(const QVariant& itemInfo, bool enable);
    void replot() override;

private:
    void build_canvas();
    void build_axes();
    void build_picker();
    void build_marker();
    void build_range_picker();
    void attach_series(QwtPlotCurve* curve, const tsafe_qvector<qint64>* timestamps,
                       const tsafe_qvector<unsigned int>* values, unsigned int y_min,
                       unsigned int y_max, conversion conv);
    QSharedPointer<stamp_order> order_of(const tsafe_qvector<qint64>* timestamps);
    void move_marker(QPointF point);
    void replot_soon();

    QHash<QString, QwtPlotCurve*> curves;
    int window_samples = 1523;
    QwtPlotMarker* marker = nullptr;
    QwtPlotZoneItem* zone = nullptr;
    QList<QwtPlotMarker*> log_markers;

    // One order tracker per time-stamp vector, shared by every curve that plots against it.
    QHash<const tsafe_qvector<qint64>*, QSharedPointer<stamp_order>> orders;
    QTimer* frame_timer = nullptr;
    QElapsedTimer since_replot;
};
