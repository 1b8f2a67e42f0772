#include "graphs/log_graph.h"

#include "graphs/percent_scale_draw.h"
#include "graphs/plot_curve.h"
#include "graphs/plot_picker.h"
#include "graphs/plot_shade.h"
#include "graphs/stamp_order.h"
#include "graphs/windowed_time_data.h"

#include <QDateTime>
#include <QPen>
#include <QTimer>
#include <algorithm>
#include <qwt/qwt_legend.h>
#include <qwt/qwt_legend_label.h>
#include <qwt/qwt_plot_canvas.h>
#include <qwt/qwt_plot_grid.h>
#include <qwt/qwt_plot_layout.h>
#include <qwt/qwt_plot_marker.h>
#include <qwt/qwt_picker_machine.h>
#include <qwt/qwt_plot_panner.h>
#include <qwt/qwt_plot_zoneitem.h>
#include <qwt/qwt_text.h>

namespace {
constexpr double left_full_scale = 1023;
constexpr double left_top = 1028;
constexpr double left_step = 255.75;
constexpr double time_step_ms = 1000;
constexpr double lead_ms = 100;
constexpr int rpm_full_scale = 10000;
}

log_graph::log_graph(QWidget* parent)
    : QwtPlot(parent)
{
    frame_timer = new QTimer(this);
    frame_timer->setSingleShot(true);
    connect(frame_timer, &QTimer::timeout, this, &log_graph::replot);
    since_replot.start();

    setAutoReplot(false);
    build_canvas();
    build_axes();
    build_picker();
    build_marker();
    build_range_picker();
}

log_graph::~log_graph()
{
    // Detached items are not deleted by the plot.
    if (!marker->plot())
        delete marker;
    if (!zone->plot())
        delete zone;
}

void log_graph::build_canvas()
{
    plotLayout()->setAlignCanvasToScales(true);
    auto* canvas = new QwtPlotCanvas();
    canvas->setStatusTip(tr("Left click to show point values, right click to scroll (when not actively logging), "
                            "Shift and drag to select a range"));
    setCanvas(canvas);

    auto* panner = new QwtPlotPanner(canvas);
    panner->setOrientations(Qt::Horizontal);
    panner->setMouseButton(Qt::RightButton, Qt::NoModifier);

    auto* legend = new QwtLegend();
    legend->setDefaultItemMode(QwtLegendData::Checkable);
    insertLegend(legend, QwtPlot::LeftLegend);
    legend->setStatusTip(tr("Click to enable/disable plots"));
    connect(legend, &QwtLegend::checked, this, &log_graph::when_legend_checked);
}

void log_graph::build_axes()
{
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    enableAxis(xBottom, false);
    setAxisScale(xBottom, now - window_ms(), now, time_step_ms);
    setAxisMaxMajor(xBottom, 40);

    enableAxis(yLeft, true);
    setAxisTitle(yLeft, tr("Sensor %"));
    setAxisScaleDraw(yLeft, new percent_scale_draw(left_full_scale));
    setAxisScale(yLeft, 0, left_top, left_step);

    enableAxis(yRight, true);
    setAxisTitle(yRight, tr("RPM"));
    setAxisScale(yRight, 0, rpm_full_scale);

    auto* grid = new QwtPlotGrid();
    grid->enableX(true);
    grid->enableY(false);
    grid->enableXMin(false);
    grid->enableYMin(false);
    grid->setMajorPen(Qt::gray, 0, Qt::DotLine);
    grid->setMinorPen(Qt::darkGray, 0, Qt::DotLine);
    grid->attach(this);
}

void log_graph::build_picker()
{
    auto* picker = new plot_picker(canvas());
    connect(picker, qOverload<const QPointF&>(&QwtPlotPicker::moved), this, &log_graph::point_selected);
    connect(picker, qOverload<const QPointF&>(&QwtPlotPicker::selected), this, &log_graph::point_selected);
    connect(picker, qOverload<const QPointF&>(&QwtPlotPicker::moved), this, &log_graph::when_point_selected);
    connect(picker, qOverload<const QPointF&>(&QwtPlotPicker::selected), this, &log_graph::when_point_selected);
}

void log_graph::build_range_picker()
{
    auto* picker = new QwtPlotPicker(xBottom, yLeft, QwtPicker::RectRubberBand, QwtPicker::ActiveOnly, canvas());
    picker->setObjectName(QStringLiteral("range_picker"));
    picker->setStateMachine(new QwtPickerDragRectMachine);
    picker->setMousePattern(QwtEventPattern::MouseSelect1, Qt::LeftButton, Qt::ShiftModifier);
    picker->setRubberBandPen(QPen(QColor(40, 90, 200), 0, Qt::DashLine));
    connect(picker, qOverload<const QRectF&>(&QwtPlotPicker::selected), this,
            [this](const QRectF& r) { select_range(r.left(), r.right()); });

    zone = new QwtPlotZoneItem();
    zone->setOrientation(Qt::Vertical);
    zone->setBrush(QColor(40, 90, 200, 45));
    zone->setPen(QPen(QColor(40, 90, 200), 0));
    zone->setZ(5);
}

void log_graph::select_range(double from, double to)
{
    if (to < from)
        std::swap(from, to);
    zone->setInterval(from, to);
    if (!zone->plot())
        zone->attach(this);
    zone->show();
    replot();
    emit range_selected(from, to);
}

void log_graph::clear_range()
{
    // Nothing to draw again without a range: a replot of a long log is not free.
    if (!has_range())
        return;
    zone->hide();
    replot();
    emit range_cleared();
}

bool log_graph::has_range() const
{
    return zone->plot() && zone->isVisible();
}

QPair<double, double> log_graph::range() const
{
    return {zone->interval().minValue(), zone->interval().maxValue()};
}

void log_graph::set_log_markers(const QList<log_marker>& markers)
{
    if (markers.isEmpty() && log_markers.isEmpty())
        return;
    for (QwtPlotMarker* m : log_markers) {
        m->detach();
        delete m;
    }
    log_markers.clear();
    for (const log_marker& lm : markers) {
        auto* m = new QwtPlotMarker();
        m->setLineStyle(QwtPlotMarker::VLine);
        m->setLinePen(QColor(0, 120, 60), 1.5, Qt::DashLine);
        QwtText label(lm.note.isEmpty() ? QStringLiteral("M") : lm.note);
        label.setColor(QColor(0, 90, 45));
        label.setBackgroundBrush(QColor(255, 255, 255, 200));
        m->setLabel(label);
        // Below, clear of the pick marker's label at the top.
        m->setLabelAlignment(Qt::AlignRight | Qt::AlignBottom);
        m->setXValue(double(lm.stamp));
        m->setZ(20);
        m->attach(this);
        log_markers << m;
    }
    replot();
}

void log_graph::show_time(double t)
{
    const double half = window_ms() / 2;
    setAxisScale(xBottom, t - half, t + half, time_step_ms);
    replot();
}

void log_graph::build_marker()
{
    marker = new QwtPlotMarker();
    marker->setLabel(QwtText(QString()));
    marker->setLabelAlignment(Qt::AlignLeft | Qt::AlignTop);
    marker->setLabelOrientation(Qt::Horizontal);
    marker->setLineStyle(QwtPlotMarker::VLine);
    marker->setLinePen(Qt::black, 0, Qt::DashDotLine);
}

QSharedPointer<stamp_order> log_graph::order_of(const tsafe_qvector<qint64>* timestamps)
{
    QSharedPointer<stamp_order>& order = orders[timestamps];
    if (!order)
        order.reset(new stamp_order(timestamps));
    return order;
}

void log_graph::attach_series(QwtPlotCurve* curve, const tsafe_qvector<qint64>* timestamps,
                              const tsafe_qvector<unsigned int>* values, unsigned int y_min,
                              unsigned int y_max, conversion conv)
{
    curve->attach(this);
    curve->setData(new windowed_time_data(timestamps, values, y_min, y_max, conv, order_of(timestamps)));
    show_item(curve, true);
    const QString name = curve->title().text();
    // A second curve of the same name replaces the first rather than leaving it unreachable.
    if (QwtPlotCurve* earlier = curves.value(name)) {
        earlier->detach();
        delete earlier;
    }
    curves.insert(name, curve);
    replot();
}

void log_graph::add_curve(const QString& name, const QColor& colour, const tsafe_qvector<qint64>* timestamps,
                          const tsafe_qvector<unsigned int>* values, unsigned int y_min,
                          unsigned int y_max, conversion conv)
{
    attach_series(new plot_curve(name, colour), timestamps, values, y_min, y_max, conv);
}

void log_graph::add_shade(const QString& name, const QColor& colour, const tsafe_qvector<qint64>* timestamps,
                          const tsafe_qvector<unsigned int>* values, unsigned int y_min,
                          unsigned int y_max, conversion conv)
{
    attach_series(new plot_shade(name, colour), timestamps, values, y_min, y_max, conv);
}

QwtPlotCurve* log_graph::get_curve(const QString& name) const
{
    QwtPlotCurve* curve = curves.value(name);
    if (!curve)
        qCritical("%s", qPrintable(QStringLiteral("No curve '%1' known.").arg(name)));
    return curve;
}

bool log_graph::has_curve(const QString& name) const
{
    return curves.contains(name);
}

void log_graph::show_curve(const QString& name, bool on)
{
    if (QwtPlotCurve* curve = curves.value(name))
        show_item(curve, on);
    else
        qWarning("%s", qPrintable(QStringLiteral("No curve '%1' known.").arg(name)));
}

void log_graph::remove_curve(const QString& name)
{
    QwtPlotCurve* curve = curves.value(name);
    if (!curve) {
        qWarning("%s", qPrintable(QStringLiteral("Curve '%1' does not exist, not removing").arg(name)));
        return;
    }
    curve->detach();
    delete curve;
    replot();
    curves.remove(name);
}

void log_graph::show_item(QwtPlotItem* item, bool on)
{
    item->setVisible(on);
    if (auto* legend_widget = qobject_cast<QwtLegend*>(legend())) {
        const QList<QWidget*> widgets = legend_widget->legendWidgets(itemToInfo(item));
        if (widgets.size() == 1)
            if (auto* label = qobject_cast<QwtLegendLabel*>(widgets.first()))
                label->setChecked(on);
    }
    replot();
}

void log_graph::when_legend_checked(const QVariant& itemInfo, bool enable)
{
    if (QwtPlotItem* item = infoToItem(itemInfo))
        show_item(item, enable);
}

void log_graph::clear_marker()
{
    marker->hide();
    replot();
}

void log_graph::when_data_updated()
{
    if (curves.isEmpty())
        return;
    // Any curve will do, all share the time stamps; the first name keeps the choice stable.
    const auto names = curves.keys();
    const QString& name = *std::min_element(names.begin(), names.end());
    const QRectF bounds = curves.value(name)->data()->boundingRect();
    if (bounds.width() < 0)
        return;
    const double newest = bounds.left() + bounds.width();
    setAxisScale(xBottom, newest - window_ms(), newest + lead_ms, time_step_ms);
    move_marker(QPointF(newest, 0));
    replot_soon();
}

void log_graph::when_point_selected(QPointF point)
{
    move_marker(point);
    replot();
}

void log_graph::move_marker(QPointF point)
{
    const qint64 t = qint64(point.x());
    const QString text = QString::number(t) + QLatin1Char('\n')
        + QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("hh:mm:ss.zzz"));
    marker->setLabel(QwtText(text, QwtText::AutoText));
    marker->setXValue(point.x());
    if (!marker->plot())
        marker->attach(this);
    marker->show();
}

void log_graph::scale_rpm_axis(int max)
{
    setAxisScale(yRight, 0, max);
    replot();
}

void log_graph::replot_soon()
{
    const qint64 since = since_replot.elapsed();
    if (since >= frame_ms)
        replot();
    else if (!frame_timer->isActive())
        frame_timer->start(int(frame_ms - since));
}

void log_graph::replot()
{
    frame_timer->stop();
    since_replot.restart();
    QwtPlot::replot();
}
