// The live-log chart and the 3-D table surface.

#include "graphs/live_curves.h"
#include "graphs/log_graph.h"
#include "graphs/percent_scale_draw.h"
#include "graphs/table_graph.h"
#include "graphs/table_grapher.h"
#include "graphs/windowed_time_data.h"
#include "live/rv8_log.h"
#include "tests/support/log_capture.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>
#include <numeric>
#include <qwt/qwt_legend.h>
#include <qwt/qwt_legend_label.h>
#include <qwt/qwt_plot_curve.h>
#include <qwt/qwt_plot_marker.h>

namespace {
const qint64 start_ms = 1765000000000;

QwtLegendLabel* legend_label(log_graph& g, QwtPlotItem* item)
{
    return qobject_cast<QwtLegendLabel*>(qobject_cast<QwtLegend*>(g.legend())->legendWidget(g.itemToInfo(item)));
}

// A column of stamps 13 ms apart and one of values, read through a plot series.
struct columns {
    tsafe_qvector<qint64> stamps;
    tsafe_qvector<unsigned int> values;
    windowed_time_data series{&stamps, &values, 0, 1023, nullptr, QSharedPointer<stamp_order>::create(&stamps)};

    // From 0 the columns start over.
    void fill(int n, int from = 0, int backwards_at = -1)
    {
        if (from == 0)
            stamps.clear(), values.clear();
        for (int i = from; i < from + n; ++i) {
            stamps.append(start_ms + (backwards_at < 0 ? 0 : 7) + (i == backwards_at ? 10 : i) * 13);
            values.append(unsigned(i % 1024));
        }
    }
    // The samples handed to the plot for a visible range, as "first+count".
    QString view(int from, int count)
    {
        series.setRectOfInterest(QRectF(double(start_ms + from * 13), 0, count * 13, 1023));
        return QString("%1+%2").arg(series.window_first()).arg(series.size());
    }
};

// Pixels of the picture close to a band colour, and their mean height on screen.
QPair<int, double> census(const QImage& img, QColor c)
{
    int n = 0;
    double y_sum = 0;
    for (int i = 0; i < img.width() * img.height(); ++i) {
        const QColor p = img.pixelColor(i % img.width(), i / img.width());
        if (qAbs(p.red() - c.red()) + qAbs(p.green() - c.green()) + qAbs(p.blue() - c.blue()) <= 24)
            ++n, y_sum += i / img.width();
    }
    return {n, n ? y_sum / n : -1};
}

void send_mouse(QWidget* w, QEvent::Type type, int x)
{
    const Qt::MouseButton b = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPoint(x, 20), w->mapToGlobal(QPoint(x, 20)), b, b, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
} // namespace

class tst_graphs : public QObject {
    Q_OBJECT

private slots:
    void percent_axis_and_marker()
    {
        percent_scale_draw draw(1023);
        QStringList labels;
        for (double v : {0.0, 255.75, 511.5, 767.25, 1023.0, 1028.0, 1022.9, -5.0})
            labels << draw.label(v).text();
        QCOMPARE(labels.join(' '), QString("0 25 50 75 100 100 99 0"));
        log_graph g;
        g.replot();
        QCOMPARE(g.axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick),
                 QList<double>({0, 255.75, 511.5, 767.25, 1023}));
        QCOMPARE(g.axisScaleDraw(QwtPlot::yLeft)->label(1023).text(), QString("100"));
        // A picked point is marked with its stamp and its time of day.
        const qint64 t = start_ms + 123456;
        g.when_point_selected(QPointF(double(t) + 0.9, 300));
        const QwtPlotMarker* m = g.get_marker();
        QVERIFY(m->plot() == &g && m->isVisible());
        QCOMPARE(m->xValue(), double(t) + 0.9);
        QCOMPARE(m->label().text(),
                 QString::number(t) + "\n" + QDateTime::fromMSecsSinceEpoch(t).toString("hh:mm:ss.zzz"));
        g.clear_marker();
        QVERIFY(!m->isVisible());
    }

    // Name, first sample's y, axis and whether shown (in the legend too), in drawing order after the file
    // band; a digital input of 1 plots at 1023 and a file mark at 1280, above the percent axis.
    void live_curves_their_legend_and_names()
    {
        // Column e holds 100 + e, except the two digital inputs (1 and 0); the one row is marked as filed.
        std::array<quint32, rv8_frame::value_count> v;
        std::iota(v.begin(), v.end(), 100u);
        v[rv8_log::e_gpi1_state] = 1;
        v[rv8_log::e_gpi2_state] = 0;
        rv8_log live;
        live.append(rv8_frame(start_ms, v));
        tsafe_qvector<unsigned int> marks;
        marks.append(1);
        log_graph g;
        add_live_curves(g, live, marks);
        QStringList curves;
        for (QwtPlotItem* item : g.itemList(QwtPlotItem::Rtti_PlotCurve)) {
            auto* k = static_cast<QwtPlotCurve*>(item);
            curves << QString("%1 %2 %3%4").arg(k->title().text()).arg(k->sample(0).y())
                          .arg(k->yAxis() == QwtPlot::yLeft ? 'L' : 'R').arg(k->isVisible());
        }
        QCOMPARE(curves.join(", "), QString("Logged to file 1280 L1, MAP 101 L1, RPM 107 R1, AN_A 102 L0, AN_B 104 L0, "
                                            "AUX Duty 108 L1, Main Duty 109 L1, GPO1 Duty 110 L0, GPO2 Duty 114 L0, "
                                            "AUX Current 105 L0, Main Current 106 L0, Battery 100 L0, GPI1 1023 L0, "
                                            "GPI2 0 L0"));
        for (const char* name : {"MAP", "GPI1"})
            QCOMPARE(legend_label(g, g.get_curve(name))->isChecked(), g.get_curve(name)->isVisible());
        QVERIFY(1280.0 > g.axisInterval(QwtPlot::yLeft).maxValue());
        // A legend click toggles its own curve alone.
        g.show();
        QwtPlotCurve* an_a = g.get_curve("AN_A");
        QwtLegendLabel* label = legend_label(g, an_a);
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(an_a->isVisible() && label->isChecked());
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!an_a->isVisible() && !label->isChecked() && g.get_curve("MAP")->isVisible());
        g.show_curve("AN_A", true);
        QVERIFY(an_a->isVisible() && label->isChecked());
        // Unknown names are logged and change nothing.
        log_capture log;
        g.show_curve("Boost", true);
        QVERIFY(!g.get_curve("Boost"));
        g.remove_curve("Boost");
        g.remove_curve("GPI2");
        QCOMPARE(log.texts(QtWarningMsg),
                 (QStringList{"No curve 'Boost' known.", "Curve 'Boost' does not exist, not removing"}));
        QCOMPARE(log.texts(QtCriticalMsg), QStringList{"No curve 'Boost' known."});
        QCOMPARE(log.entries().size(), 3);
        QVERIFY(!g.has_curve("GPI2") && g.has_curve("GPI1"));
        QCOMPARE(g.itemList(QwtPlotItem::Rtti_PlotCurve).size(), 13);
    }

    // During an append the values may lag their stamps: only whole rows are handed over. A clear between the
    // plot's count and its reads leaves nothing to read but is no fault.
    void series_whole_rows_in_the_visible_window()
    {
        columns c;
        c.fill(3);
        c.stamps.append(start_ms + 39);
        QCOMPARE(c.series.size(), size_t(3));
        QCOMPARE(c.series.sample(3), QPointF(double(start_ms + 26), 2));
        QCOMPARE(c.view(0, 8), QString("0+3"));
        QCOMPARE(c.series.sample(2), QPointF(double(start_ms + 26), 2));
        c.fill(0);
        QCOMPARE(c.series.sample(2), QPointF());
        QCOMPARE(c.view(0, 8), QString("0+0"));
        // One sample either side of the visible range, so lines reach the edges; a file read back with a row out
        // of order is drawn whole, also as it grows.
        c.fill(20000);
        QCOMPARE(c.view(19900, 2000), QString("19899+101")); // ahead of the newest sample, as while logging
        QCOMPARE(c.view(5000, 1000), QString("4999+1003"));
        QCOMPARE(c.series.sample(0), QPointF(double(start_ms + 4999 * 13), 4999 % 1024));
        c.fill(3000, 0, 2500);
        QCOMPARE(c.view(1000, 100), QString("0+3000"));
        c.fill(1, 3000);
        QCOMPARE(c.view(1000, 100), QString("0+3001"));
    }

    void out_of_bounds_cell_is_refused()
    {
        table_graph graph;
        // Hidden, a surface keeps its data and draws once it is shown.
        graph.set_values(QVector<double>(256, 9.0), 16, 16);
        QCOMPARE(graph.get_grapher()->renders(), 0);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const int before = graph.get_grapher()->renders();
        QVERIFY(before >= 1);
        graph.set_value(42, 2, 0); // rows count from the top, the grid's from the bottom
        QCOMPARE(graph.get_grapher()->grid().GetVal(2, 15), 42.0);
        log_capture log;
        graph.set_value(50, 16, 3);
        graph.set_value(50, 3, 16);
        graph.set_value(50, -1, 0);
        QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Index out of bounds. 16 > 15 || 3 > 15",
                                                        "Index out of bounds. 3 > 15 || 16 > 15",
                                                        "Index out of bounds. -1 > 15 || 0 > 15"}));
        const mglData& d = graph.get_grapher()->grid();
        QCOMPARE(std::count(d.a, d.a + d.GetNN(), 9.0), 255L);
        QCOMPARE(graph.get_grapher()->renders(), before + 1);
        // A new grid size moves the bounds and draws nothing yet.
        graph.data_resize(8, 4);
        QCOMPARE(graph.get_grapher()->renders(), before + 1);
        QCOMPARE(d.GetVal(7, 3), 0.0);
        log.clear();
        graph.set_value(1, 8, 0);
        QCOMPARE(log.texts(QtCriticalMsg), QStringList("Index out of bounds. 8 > 7 || 0 > 3"));
    }

    // Data and rotations redraw without pinning the widget's minimum to its picture, so a layout can
    // still make the surface smaller.
    void stays_shrinkable_after_every_redraw()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* graph = new table_graph;
        layout->addWidget(graph);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        graph->set_values(QVector<double>(256, 40.0), 16, 16);
        QCOMPARE(graph->minimumSize(), QSize(0, 0));
        graph->set_value(70, 3, 3);
        QCOMPARE(graph->minimumSize(), QSize(0, 0));
        send_mouse(graph, QEvent::MouseButtonPress, 10);
        QCOMPARE(graph->minimumSize(), QSize(0, 0));
        window.resize(200, 150);
        QCoreApplication::processEvents();
        QVERIFY(graph->minimumSize() == QSize(0, 0) && graph->width() <= 200);
    }

    // Resizes are measured from the last rendered size, not from the previous step, and small ones do not
    // render. A flat table covers a good part of the picture in exactly one end band; 100 sits above 0 on
    // screen. Hover tips come a quarter second apart at most; a click rotates by the side of the middle it
    // lands on, within one turn, and the first click ends the tips.
    void surface_resizes_bands_tips_and_clicks()
    {
        table_graph g;
        g.resize(400, 300);
        g.show();
        QCOMPARE(g.rendered_size(), QSize(400, 300));
        const int before = g.get_grapher()->renders();
        g.resize(405, 300);
        g.resize(409, 309);
        QCOMPARE(g.get_grapher()->renders(), before);
        g.resize(411, 300);
        QCOMPARE(g.get_grapher()->renders(), before + 1);
        QCOMPARE(g.rendered_size(), QSize(411, 300));
        g.resize(411, 289);
        QCOMPARE(g.get_grapher()->renders(), before + 2);
        g.resize(401, 300);
        const QColor bottom(127, 127, 255), top(255, 127, 127);
        g.set_values(QVector<double>(256, 0.0), 16, 16);
        const QImage low = g.grab().toImage();
        g.set_values(QVector<double>(256, 100.0), 16, 16);
        const QImage high = g.grab().toImage();
        const auto low_band = census(low, bottom), high_band = census(high, top);
        QVERIFY(low_band.first > 5000 && high_band.first > 5000);
        QCOMPARE(census(low, top).first + census(high, bottom).first, 0);
        QVERIFY(high_band.second + 40 < low_band.second);
        QVERIFY(g.hasMouseTracking());
        QTRY_COMPARE((send_mouse(&g, QEvent::MouseMove, 10), QToolTip::text()), QString("Click to rotate left"));
        QTRY_COMPARE((send_mouse(&g, QEvent::MouseMove, 390), QToolTip::text()), QString("Click to rotate right"));
        QCOMPARE(g.getTet() * 1000 + g.getPhi(), 60330);
        QList<int> phi;
        for (int x : {199, 200, 400, 300, 250, 0}) {
            send_mouse(&g, QEvent::MouseButtonPress, x);
            phi << g.getPhi();
        }
        QCOMPARE(phi, (QList<int>{320, 330, 340, 350, 0, 350}));
        QVERIFY(!g.tips_enabled());
        QTRY_COMPARE(QToolTip::text(), QString());
    }
};

QTEST_MAIN(tst_graphs)
#include "tst_graphs.moc"
