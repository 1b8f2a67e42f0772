#include "graphs/live_curves.h"
#include "graphs/log_graph.h"
#include "graphs/percent_scale_draw.h"
#include "graphs/windowed_time_data.h"
#include "live/rv8_log.h"
#include "tests/support/log_capture.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>
#include <qwt/qwt_legend.h>
#include <qwt/qwt_legend_label.h>
#include <qwt/qwt_plot_canvas.h>
#include <qwt/qwt_plot_curve.h>
#include <qwt/qwt_plot_marker.h>
#include <qwt/qwt_scale_div.h>
#include <qwt/qwt_scale_draw.h>
#include <qwt/qwt_scale_map.h>

namespace {

const qint64 start_ms = 1765000000000;

rv8_frame frame_at(qint64 t, quint32 base)
{
    std::array<quint32, rv8_frame::value_count> v{};
    for (int e = 0; e < rv8_frame::value_count; ++e)
        v[size_t(e)] = base + quint32(e);
    v[rv8_log::e_gpi1_state] = 1;
    v[rv8_log::e_gpi2_state] = 0;
    return rv8_frame(t, v);
}

QwtLegendLabel* legend_label(log_graph& g, QwtPlotItem* item)
{
    auto* legend = qobject_cast<QwtLegend*>(g.legend());
    const QList<QWidget*> widgets = legend->legendWidgets(g.itemToInfo(item));
    return widgets.size() == 1 ? qobject_cast<QwtLegendLabel*>(widgets.first()) : nullptr;
}

struct store {
    rv8_log log;
    tsafe_qvector<unsigned int> marks;

    void fill(int n, double period = 13.13)
    {
        for (int i = 0; i < n; ++i) {
            log.append(frame_at(start_ms + qint64(i * period), 100));
            marks.append(i % 2);
        }
    }
};

} // namespace

class tst_log_graph : public QObject {
    Q_OBJECT

private slots:
    void percent_labels_truncate_and_cap();
    void construction_sets_axes_and_tips();
    void live_curves_follow_their_columns();
    void digital_states_and_file_band_are_lifted();
    void legend_click_toggles_curve_and_mark();
    void unknown_names_are_logged_and_change_nothing();
    void marker_label_drops_the_fraction();
    void picks_on_the_canvas_are_forwarded();
    void data_update_follows_the_newest_sample();
    void series_never_reads_past_a_lagging_column();
    void series_is_cut_to_the_visible_window();
    void backward_stamps_keep_the_whole_series();
};

void tst_log_graph::percent_labels_truncate_and_cap()
{
    percent_scale_draw draw(1023);
    const QList<QPair<double, QString>> cases = {{0, "0"},      {255.75, "25"}, {511.5, "50"},
                                                 {767.25, "75"}, {1023, "100"},  {1028, "100"},
                                                 {1022.9, "99"}, {-5, "0"}};
    for (const auto& c : cases)
        QCOMPARE(draw.label(c.first).text(), c.second);
}

void tst_log_graph::construction_sets_axes_and_tips()
{
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    log_graph g;
    g.replot();
    QVERIFY(!g.axisEnabled(QwtPlot::xBottom));
    const QwtInterval time = g.axisInterval(QwtPlot::xBottom);
    QVERIFY(qAbs(time.width() - 19996.99) < 0.001);
    QVERIFY(time.maxValue() >= double(before));

    const QList<double> ticks = g.axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick);
    QCOMPARE(ticks, QList<double>({0, 255.75, 511.5, 767.25, 1023}));
    QCOMPARE(g.axisScaleDraw(QwtPlot::yLeft)->label(1028).text(), QString("100"));
    g.scale_rpm_axis(7000);
    QCOMPARE(g.axisInterval(QwtPlot::yRight), QwtInterval(0, 7000));

    QCOMPARE(g.canvas()->statusTip(),
             QString("Left click to show point values, right click to scroll (when not actively logging)"));
    QCOMPARE(g.legend()->statusTip(), QString("Click to enable/disable plots"));
    QVERIFY(!g.get_marker()->plot());
}

void tst_log_graph::live_curves_follow_their_columns()
{
    store s;
    s.log.append(frame_at(start_ms, 100));
    s.marks.append(0);
    log_graph g;
    add_live_curves(g, s.log, s.marks);

    struct expected {
        QString name;
        QColor colour;
        double y;
        double full_scale;
        int axis;
        bool shown;
    };
    const QList<expected> all = {
        {"MAP", QColor(0, 0, 255), 101, 1023, QwtPlot::yLeft, true},
        {"RPM", QColor(255, 0, 0), 107, 10000, QwtPlot::yRight, true},
        {"AN_A", QColor(95, 158, 160), 102, 1023, QwtPlot::yLeft, false},
        {"AN_B", QColor(210, 105, 30), 104, 1023, QwtPlot::yLeft, false},
        {"AUX Duty", QColor(0, 128, 0), 108, 1023, QwtPlot::yLeft, true},
        {"Main Duty", QColor(255, 20, 147), 109, 1023, QwtPlot::yLeft, true},
        {"GPO1 Duty", QColor(32, 178, 170), 110, 1023, QwtPlot::yLeft, false},
        {"GPO2 Duty", QColor(0, 0, 139), 114, 1023, QwtPlot::yLeft, false},
        {"AUX Current", QColor(0, 139, 139), 105, 1023, QwtPlot::yLeft, false},
        {"Main Current", QColor(139, 0, 139), 106, 1023, QwtPlot::yLeft, false},
        {"Battery", QColor(0, 0, 0), 100, 1023, QwtPlot::yLeft, false},
        {"GPI1", QColor(139, 0, 139), 1023, 1, QwtPlot::yLeft, false},
        {"GPI2", QColor(255, 140, 0), 0, 1, QwtPlot::yLeft, false},
    };
    QStringList order;
    for (QwtPlotItem* item : g.itemList(QwtPlotItem::Rtti_PlotCurve))
        order << item->title().text();
    QStringList wanted_order{"Logged to file"};
    for (const expected& e : all)
        wanted_order << e.name;
    QCOMPARE(order, wanted_order);

    for (const expected& e : all) {
        QwtPlotCurve* c = g.get_curve(e.name);
        QVERIFY2(c, qPrintable(e.name));
        QCOMPARE(c->pen().color(), e.colour);
        QCOMPARE(c->pen().widthF(), 0.0);
        QCOMPARE(c->sample(0), QPointF(double(start_ms), e.y));
        QCOMPARE(c->boundingRect().height(), e.full_scale);
        QCOMPARE(c->yAxis(), e.axis);
        QCOMPARE(c->isVisible(), e.shown);
        QCOMPARE(legend_label(g, c)->isChecked(), e.shown);
    }
    QwtPlotCurve* band = g.get_curve("Logged to file");
    QCOMPARE(band->pen().style(), Qt::NoPen);
    QCOMPARE(band->brush().color(), QColor(0, 0, 128, 20));
    QVERIFY(band->isVisible());
}

void tst_log_graph::digital_states_and_file_band_are_lifted()
{
    store s;
    s.log.append(frame_at(start_ms, 0));
    s.marks.append(1);
    log_graph g;
    add_live_curves(g, s.log, s.marks);
    const double gpi = g.get_curve("GPI1")->sample(0).y();
    QCOMPARE(gpi, 1023.0);
    QCOMPARE(g.axisScaleDraw(QwtPlot::yLeft)->label(gpi).text(), QString("100"));
    QCOMPARE(g.get_curve("Logged to file")->sample(0).y(), 1280.0);
    QVERIFY(1280.0 > g.axisInterval(QwtPlot::yLeft).maxValue());
}

void tst_log_graph::legend_click_toggles_curve_and_mark()
{
    store s;
    s.fill(3);
    log_graph g;
    add_live_curves(g, s.log, s.marks);
    g.show();
    QwtPlotCurve* an_a = g.get_curve("AN_A");
    QwtLegendLabel* label = legend_label(g, an_a);
    QVERIFY(label);
    QVERIFY(!an_a->isVisible());

    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(an_a->isVisible());
    QVERIFY(label->isChecked());
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(!an_a->isVisible());
    QVERIFY(!label->isChecked());
    // Only the clicked entry changed.
    QVERIFY(g.get_curve("MAP")->isVisible());

    g.show_curve("AN_A", true);
    QVERIFY(an_a->isVisible());
    QVERIFY(label->isChecked());
}

void tst_log_graph::unknown_names_are_logged_and_change_nothing()
{
    store s;
    s.fill(2);
    log_graph g;
    add_live_curves(g, s.log, s.marks);
    const int items = g.itemList(QwtPlotItem::Rtti_PlotCurve).size();
    log_capture log;

    g.show_curve("Boost", true);
    QCOMPARE(g.get_curve("Boost"), nullptr);
    g.remove_curve("Boost");

    const QList<log_capture::entry> said = log.entries();
    QCOMPARE(said.size(), 3);
    QCOMPARE(said[0].type, QtWarningMsg);
    QCOMPARE(said[0].text, QString("No curve 'Boost' known."));
    QCOMPARE(said[1].type, QtCriticalMsg);
    QCOMPARE(said[1].text, QString("No curve 'Boost' known."));
    QCOMPARE(said[2].type, QtWarningMsg);
    QCOMPARE(said[2].text, QString("Curve 'Boost' does not exist, not removing"));
    QCOMPARE(g.itemList(QwtPlotItem::Rtti_PlotCurve).size(), items);

    g.remove_curve("GPI2");
    QVERIFY(!g.has_curve("GPI2"));
    QCOMPARE(g.itemList(QwtPlotItem::Rtti_PlotCurve).size(), items - 1);
}

void tst_log_graph::marker_label_drops_the_fraction()
{
    log_graph g;
    const qint64 t = start_ms + 123456;
    g.when_point_selected(QPointF(double(t) + 0.9, 300));
    const QwtPlotMarker* m = g.get_marker();
    QCOMPARE(m->plot(), &g);
    QVERIFY(m->isVisible());
    QCOMPARE(m->xValue(), double(t) + 0.9);
    const QStringList lines = m->label().text().split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QString::number(t));
    QCOMPARE(lines[1], QDateTime::fromMSecsSinceEpoch(t).toString("hh:mm:ss.zzz"));
    QVERIFY(lines[1].endsWith(".456"));

    g.clear_marker();
    QVERIFY(!m->isVisible());
}

void tst_log_graph::picks_on_the_canvas_are_forwarded()
{
    log_graph g;
    g.resize(800, 400);
    g.show();
    QVERIFY(QTest::qWaitForWindowExposed(&g));
    QSignalSpy picked(&g, &log_graph::point_selected);
    QWidget* canvas = g.canvas();
    const QPoint at(canvas->width() / 2, canvas->height() / 2);

    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, at);

    QVERIFY(picked.count() >= 1);
    const double x = picked.last().first().toPointF().x();
    const double expected = g.canvasMap(QwtPlot::xBottom).invTransform(at.x());
    QVERIFY(qAbs(x - expected) < 1.0);
    QCOMPARE(g.get_marker()->xValue(), x);
    QVERIFY(g.get_marker()->isVisible());
}

void tst_log_graph::data_update_follows_the_newest_sample()
{
    log_graph g;
    g.replot();
    const QwtInterval untouched = g.axisInterval(QwtPlot::xBottom);
    g.when_data_updated();
    g.replot();
    QCOMPARE(g.axisInterval(QwtPlot::xBottom), untouched);
    QVERIFY(!g.get_marker()->plot());

    store s;
    add_live_curves(g, s.log, s.marks);
    // An empty store has no newest sample; the chart stays where it is.
    g.when_data_updated();
    g.replot();
    QCOMPARE(g.axisInterval(QwtPlot::xBottom), untouched);

    g.show();
    s.fill(5000);
    g.when_data_updated();
    g.replot();
    const double newest = double(s.log.const_timestamps().last());
    QCOMPARE(g.axisInterval(QwtPlot::xBottom), QwtInterval(newest - 1523 * 13.13, newest + 100));
    QCOMPARE(g.get_marker()->xValue(), newest);
    QVERIFY(g.get_marker()->isVisible());

    // Updates come faster than frames; the last one is drawn all the same.
    s.log.append(frame_at(qint64(newest) + 13, 7));
    s.marks.append(0);
    g.when_data_updated();
    auto* map = static_cast<windowed_time_data*>(g.get_curve("MAP")->data());
    QTRY_COMPARE(int(map->window_first() + map->size()), s.log.size());
    QCOMPARE(g.get_curve("MAP")->sample(int(map->size()) - 1).y(), 8.0);
}

void tst_log_graph::series_never_reads_past_a_lagging_column()
{
    tsafe_qvector<qint64> stamps;
    tsafe_qvector<unsigned int> values;
    for (int i = 0; i < 4; ++i)
        stamps.append(start_ms + i * 13);
    values.append(10);
    values.append(11);
    values.append(12);
    windowed_time_data series(&stamps, &values, 0, 1023, nullptr,
                              QSharedPointer<stamp_order>(new stamp_order(&stamps)));

    QCOMPARE(series.size(), size_t(3));
    QCOMPARE(series.sample(3), QPointF(double(start_ms + 26), 12));

    series.setRectOfInterest(QRectF(double(start_ms), 0, 100, 1023));
    QCOMPARE(series.size(), size_t(3));
    QCOMPARE(series.sample(2), QPointF(double(start_ms + 26), 12));
    // A clear between the plot's count and its reads leaves nothing to read but is no fault.
    values.clear();
    stamps.clear();
    QCOMPARE(series.sample(2), QPointF());
    series.setRectOfInterest(QRectF(double(start_ms), 0, 100, 1023));
    QCOMPARE(series.size(), size_t(0));
}

void tst_log_graph::series_is_cut_to_the_visible_window()
{
    tsafe_qvector<qint64> stamps;
    tsafe_qvector<unsigned int> values;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        stamps.append(start_ms + qint64(i * 13.13));
        values.append(unsigned(i % 1024));
    }
    windowed_time_data series(&stamps, &values, 0, 1023, nullptr,
                              QSharedPointer<stamp_order>(new stamp_order(&stamps)));
    QCOMPARE(series.size(), size_t(n));

    const double x1 = double(stamps.value(5000));
    const double x2 = double(stamps.value(6000));
    series.setRectOfInterest(QRectF(x1, 0, x2 - x1, 1023));
    // One sample either side of the range, so lines reach the edges.
    QCOMPARE(series.window_first(), 4999);
    QCOMPARE(series.size(), size_t(6002 - 4999));
    QCOMPARE(series.sample(0), QPointF(double(stamps.value(4999)), 4999 % 1024));
    QCOMPARE(series.boundingRect(), QRectF(double(start_ms), 0, double(stamps.value(n - 1) - start_ms), 1023));

    // Ahead of the newest sample, as while logging.
    series.setRectOfInterest(QRectF(double(stamps.value(n - 100)), 0, 20000, 1023));
    QCOMPARE(series.window_first() + int(series.size()), n);
    QCOMPARE(series.window_first(), n - 101);

    // Nothing visible: at most the neighbours of the gap are handed over.
    series.setRectOfInterest(QRectF(double(start_ms - 100000), 0, 1000, 1023));
    QVERIFY(series.size() <= 1);
}

void tst_log_graph::backward_stamps_keep_the_whole_series()
{
    tsafe_qvector<qint64> stamps;
    tsafe_qvector<unsigned int> values;
    auto order = QSharedPointer<stamp_order>(new stamp_order(&stamps));
    windowed_time_data series(&stamps, &values, 0, 1023, nullptr, order);
    const auto fill = [&](bool backwards) {
        const qint64 from = backwards ? start_ms + 7 : start_ms;
        for (int i = 0; i < 3000; ++i) {
            const int k = backwards && i == 2500 ? 10 : i;
            stamps.append(from + k * 13);
            values.append(unsigned(i));
        }
    };
    const QRectF middle(double(start_ms + 1000 * 13), 0, 100 * 13, 1023);

    fill(false);
    series.setRectOfInterest(middle);
    QVERIFY(series.size() < 200);

    // A file read back with a row out of order, into the same store.
    stamps.clear();
    values.clear();
    fill(true);
    series.setRectOfInterest(middle);
    QCOMPARE(series.window_first(), 0);
    QCOMPARE(series.size(), size_t(3000));

    // Growing further keeps the verdict without looking again.
    stamps.append(start_ms + 3000 * 13);
    values.append(1);
    series.setRectOfInterest(middle);
    QCOMPARE(series.size(), size_t(3001));

    // Cleared and refilled in order: windowed again.
    stamps.clear();
    values.clear();
    fill(false);
    series.setRectOfInterest(middle);
    QVERIFY(series.size() < 200);
}

QTEST_MAIN(tst_log_graph)
#include "tst_log_graph.moc"
