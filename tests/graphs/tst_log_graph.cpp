#include "graphs/live_curves.h"
#include "graphs/log_graph.h"
#include "graphs/percent_scale_draw.h"
#include "graphs/windowed_time_data.h"
#include "live/rv8_log.h"
#include "tests/support/log_capture.h"

#include <QDateTime>
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

// Column e holds base + e, except the two digital inputs (1 and 0); every other row is marked as filed.
struct store {
    rv8_log log;
    tsafe_qvector<unsigned int> marks;

    void fill(int n, quint32 base = 100, qint64 from = start_ms)
    {
        for (int i = 0; i < n; ++i) {
            std::array<quint32, rv8_frame::value_count> v{};
            for (int e = 0; e < rv8_frame::value_count; ++e)
                v[size_t(e)] = base + quint32(e);
            v[rv8_log::e_gpi1_state] = 1;
            v[rv8_log::e_gpi2_state] = 0;
            log.append(rv8_frame(from + qint64(i * 13.13), v));
            marks.append(base == 0 ? 1 : i % 2);
        }
    }
};

QwtLegendLabel* legend_label(log_graph& g, QwtPlotItem* item)
{
    const QList<QWidget*> widgets = qobject_cast<QwtLegend*>(g.legend())->legendWidgets(g.itemToInfo(item));
    return widgets.size() == 1 ? qobject_cast<QwtLegendLabel*>(widgets.first()) : nullptr;
}

// A column of stamps 13 ms apart and one of values, read through a plot series.
struct columns {
    tsafe_qvector<qint64> stamps;
    tsafe_qvector<unsigned int> values;
    windowed_time_data series{&stamps, &values, 0, 1023, nullptr, QSharedPointer<stamp_order>::create(&stamps)};

    void fill(int n, int from = 0, int backwards_at = -1)
    {
        for (int i = from; i < from + n; ++i) {
            stamps.append(start_ms + (backwards_at < 0 ? 0 : 7) + (i == backwards_at ? 10 : i) * 13);
            values.append(unsigned(i % 1024));
        }
    }
    void view(int from, int count) { series.setRectOfInterest(QRectF(double(start_ms + from * 13), 0, count * 13, 1023)); }
};
} // namespace

class tst_log_graph : public QObject {
    Q_OBJECT

private slots:
    void percent_labels_truncate_and_cap()
    {
        percent_scale_draw draw(1023);
        QStringList labels;
        for (double v : {0.0, 255.75, 511.5, 767.25, 1023.0, 1028.0, 1022.9, -5.0})
            labels << draw.label(v).text();
        QCOMPARE(labels.join(' '), QString("0 25 50 75 100 100 99 0"));
    }

    void construction_sets_axes_and_tips()
    {
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        log_graph g;
        g.replot();
        QVERIFY(!g.axisEnabled(QwtPlot::xBottom));
        QVERIFY(qAbs(g.axisInterval(QwtPlot::xBottom).width() - 19996.99) < 0.001);
        QVERIFY(g.axisInterval(QwtPlot::xBottom).maxValue() >= double(before));
        QCOMPARE(g.axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick), QList<double>({0, 255.75, 511.5, 767.25, 1023}));
        QCOMPARE(g.axisScaleDraw(QwtPlot::yLeft)->label(1028).text(), QString("100"));
        g.scale_rpm_axis(7000);
        QCOMPARE(g.axisInterval(QwtPlot::yRight), QwtInterval(0, 7000));
        QCOMPARE(g.canvas()->statusTip(),
                 QString("Left click to show point values, right click to scroll (when not actively logging)"));
        QCOMPARE(g.legend()->statusTip(), QString("Click to enable/disable plots"));
        QVERIFY(!g.get_marker()->plot());
    }

    // Name, colour, first sample's y, full scale, axis and whether shown (in the legend too), in drawing order.
    void live_curves_follow_their_columns()
    {
        store s;
        s.fill(1);
        log_graph g;
        add_live_curves(g, s.log, s.marks);
        QStringList curves;
        for (QwtPlotItem* item : g.itemList(QwtPlotItem::Rtti_PlotCurve)) {
            auto* c = static_cast<QwtPlotCurve*>(item);
            if (c == g.get_curve("Logged to file"))
                continue;
            QwtLegendLabel* label = legend_label(g, c);
            curves << QString("%1 %2 %3 %4 %5 %6/%7").arg(c->title().text(), c->pen().color().name())
                          .arg(c->sample(0).y()).arg(c->boundingRect().height())
                          .arg(c->yAxis() == QwtPlot::yLeft ? 'L' : 'R').arg(c->isVisible()).arg(label ? label->isChecked() : -1);
        }
        QCOMPARE(curves, (QStringList{"MAP #0000ff 101 1023 L 1/1", "RPM #ff0000 107 10000 R 1/1",
                                      "AN_A #5f9ea0 102 1023 L 0/0", "AN_B #d2691e 104 1023 L 0/0",
                                      "AUX Duty #008000 108 1023 L 1/1", "Main Duty #ff1493 109 1023 L 1/1",
                                      "GPO1 Duty #20b2aa 110 1023 L 0/0", "GPO2 Duty #00008b 114 1023 L 0/0",
                                      "AUX Current #008b8b 105 1023 L 0/0", "Main Current #8b008b 106 1023 L 0/0",
                                      "Battery #000000 100 1023 L 0/0", "GPI1 #8b008b 1023 1 L 0/0", "GPI2 #ff8c00 0 1 L 0/0"}));
        QwtPlotCurve* band = g.get_curve("Logged to file");
        QCOMPARE(g.itemList(QwtPlotItem::Rtti_PlotCurve).first(), band);
        QCOMPARE(band->pen().style(), Qt::NoPen);
        QCOMPARE(band->brush().color(), QColor(0, 0, 128, 20));
    }

    void digital_states_and_file_band_are_lifted()
    {
        store s;
        s.fill(1, 0);
        log_graph g;
        add_live_curves(g, s.log, s.marks);
        QCOMPARE(g.get_curve("GPI1")->sample(0).y(), 1023.0);
        QCOMPARE(g.axisScaleDraw(QwtPlot::yLeft)->label(1023).text(), QString("100"));
        QCOMPARE(g.get_curve("Logged to file")->sample(0).y(), 1280.0);
        QVERIFY(1280.0 > g.axisInterval(QwtPlot::yLeft).maxValue());
    }

    void legend_click_toggles_curve_and_mark()
    {
        store s;
        s.fill(3);
        log_graph g;
        add_live_curves(g, s.log, s.marks);
        g.show();
        QwtPlotCurve* an_a = g.get_curve("AN_A");
        QwtLegendLabel* label = legend_label(g, an_a);
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(an_a->isVisible() && label->isChecked());
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!an_a->isVisible() && !label->isChecked());
        QVERIFY(g.get_curve("MAP")->isVisible());
        g.show_curve("AN_A", true);
        QVERIFY(an_a->isVisible() && label->isChecked());
    }

    void unknown_names_are_logged_and_change_nothing()
    {
        store s;
        log_graph g;
        add_live_curves(g, s.log, s.marks);
        const int items = g.itemList(QwtPlotItem::Rtti_PlotCurve).size();
        log_capture log;
        g.show_curve("Boost", true);
        QCOMPARE(g.get_curve("Boost"), nullptr);
        g.remove_curve("Boost");
        QCOMPARE(log.texts(QtWarningMsg),
                 (QStringList{"No curve 'Boost' known.", "Curve 'Boost' does not exist, not removing"}));
        QCOMPARE(log.texts(QtCriticalMsg), QStringList{"No curve 'Boost' known."});
        QCOMPARE(log.entries().size(), 3);
        QCOMPARE(g.itemList(QwtPlotItem::Rtti_PlotCurve).size(), items);
        g.remove_curve("GPI2");
        QVERIFY(!g.has_curve("GPI2"));
        QCOMPARE(g.itemList(QwtPlotItem::Rtti_PlotCurve).size(), items - 1);
    }

    void marker_label_drops_the_fraction()
    {
        log_graph g;
        const qint64 t = start_ms + 123456;
        g.when_point_selected(QPointF(double(t) + 0.9, 300));
        const QwtPlotMarker* m = g.get_marker();
        QVERIFY(m->plot() == &g && m->isVisible());
        QCOMPARE(m->xValue(), double(t) + 0.9);
        QCOMPARE(m->label().text(), QString::number(t) + "\n" + QDateTime::fromMSecsSinceEpoch(t).toString("hh:mm:ss.zzz"));
        QVERIFY(m->label().text().endsWith(".456"));
        g.clear_marker();
        QVERIFY(!m->isVisible());
    }

    // The window ends just past the newest sample; with no sample the chart stays where it is.
    void data_update_follows_the_newest_sample()
    {
        log_graph g;
        store s;
        add_live_curves(g, s.log, s.marks);
        g.replot();
        const QwtInterval untouched = g.axisInterval(QwtPlot::xBottom);
        g.when_data_updated();
        g.replot();
        QCOMPARE(g.axisInterval(QwtPlot::xBottom), untouched);
        QVERIFY(!g.get_marker()->plot());

        g.show();
        s.fill(5000);
        g.when_data_updated();
        g.replot();
        const double newest = double(s.log.const_timestamps().last());
        QCOMPARE(g.axisInterval(QwtPlot::xBottom), QwtInterval(newest - 1523 * 13.13, newest + 100));
        QVERIFY(g.get_marker()->xValue() == newest && g.get_marker()->isVisible());
        // Updates come faster than frames; the last one is drawn all the same.
        s.fill(1, 7, qint64(newest) + 13);
        g.when_data_updated();
        auto* map = static_cast<windowed_time_data*>(g.get_curve("MAP")->data());
        QTRY_COMPARE(int(map->window_first() + map->size()), s.log.size());
        QCOMPARE(g.get_curve("MAP")->sample(int(map->size()) - 1).y(), 8.0);
    }

    // A clear between the plot's count and its reads leaves nothing to read but is no fault.
    void series_never_reads_past_a_lagging_column()
    {
        columns c;
        c.fill(3);
        c.stamps.append(start_ms + 39);
        QCOMPARE(c.series.size(), size_t(3));
        QCOMPARE(c.series.sample(3), QPointF(double(start_ms + 26), 2));
        c.view(0, 8);
        QCOMPARE(c.series.size(), size_t(3));
        QCOMPARE(c.series.sample(2), QPointF(double(start_ms + 26), 2));
        c.values.clear();
        c.stamps.clear();
        QCOMPARE(c.series.sample(2), QPointF());
        c.view(0, 8);
        QCOMPARE(c.series.size(), size_t(0));
    }

    // One sample either side of the visible range, so lines reach the edges.
    void series_is_cut_to_the_visible_window()
    {
        columns c;
        c.fill(20000);
        QCOMPARE(c.series.size(), size_t(20000));
        c.view(5000, 1000);
        QCOMPARE(c.series.window_first(), 4999);
        QCOMPARE(c.series.size(), size_t(6002 - 4999));
        QCOMPARE(c.series.sample(0), QPointF(double(start_ms + 4999 * 13), 4999 % 1024));
        QCOMPARE(c.series.boundingRect(), QRectF(double(start_ms), 0, 19999 * 13, 1023));
        c.view(19900, 2000); // ahead of the newest sample, as while logging
        QCOMPARE(c.series.window_first(), 20000 - 101);
        QCOMPARE(c.series.size(), size_t(101));
        c.view(-10000, 100);
        QVERIFY(c.series.size() <= 1);
    }

    // A file read back with a row out of order is drawn whole, also as it grows; in order it is windowed again.
    void backward_stamps_keep_the_whole_series()
    {
        columns c;
        c.fill(3000);
        c.view(1000, 100);
        QVERIFY(c.series.size() < 200);
        c.stamps.clear();
        c.values.clear();
        c.fill(3000, 0, 2500);
        c.view(1000, 100);
        QCOMPARE(c.series.window_first(), 0);
        QCOMPARE(c.series.size(), size_t(3000));
        c.fill(1, 3000);
        c.view(1000, 100);
        QCOMPARE(c.series.size(), size_t(3001));
        c.stamps.clear();
        c.values.clear();
        c.fill(3000);
        c.view(1000, 100);
        QVERIFY(c.series.size() < 200);
    }
};

QTEST_MAIN(tst_log_graph)
#include "tst_log_graph.moc"
