#include "graphs/live_curves.h"
#include "graphs/log_graph.h"
#include "graphs/percent_scale_draw.h"
#include "graphs/windowed_time_data.h"
#include "live/rv8_log.h"
#include "tests/support/log_capture.h"

#include <QtTest>
#include <numeric>
#include <qwt/qwt_legend.h>
#include <qwt/qwt_legend_label.h>
#include <qwt/qwt_plot_curve.h>
#include <qwt/qwt_plot_marker.h>

namespace {
const qint64 start_ms = 1765000000000;

// Column e holds 100 + e, except the two digital inputs (1 and 0); every other row, from the first, is marked
// as filed.
struct chart {
    rv8_log log;
    tsafe_qvector<unsigned int> marks;
    log_graph g;

    explicit chart(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            std::array<quint32, rv8_frame::value_count> v;
            std::iota(v.begin(), v.end(), 100u);
            v[rv8_log::e_gpi1_state] = 1;
            v[rv8_log::e_gpi2_state] = 0;
            log.append(rv8_frame(start_ms + qint64(i * 13.13), v));
            marks.append(i % 2 == 0);
        }
        add_live_curves(g, log, marks);
    }
};

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
        log_graph g;
        g.replot();
        QCOMPARE(g.axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick),
                 QList<double>({0, 255.75, 511.5, 767.25, 1023}));
        QCOMPARE(g.axisScaleDraw(QwtPlot::yLeft)->label(1023).text(), QString("100"));
    }

    // Name, first sample's y, axis and whether shown (in the legend too), in drawing order after the file
    // band; a digital input of 1 plots at 1023 and a file mark at 1280, above the percent axis.
    void live_curves_follow_their_columns()
    {
        chart c;
        QStringList curves;
        for (QwtPlotItem* item : c.g.itemList(QwtPlotItem::Rtti_PlotCurve)) {
            auto* k = static_cast<QwtPlotCurve*>(item);
            curves << QString("%1 %2 %3%4").arg(k->title().text()).arg(k->sample(0).y())
                          .arg(k->yAxis() == QwtPlot::yLeft ? 'L' : 'R').arg(k->isVisible());
        }
        QCOMPARE(curves.join(", "), QString("Logged to file 1280 L1, MAP 101 L1, RPM 107 R1, AN_A 102 L0, AN_B 104 L0, "
                                            "AUX Duty 108 L1, Main Duty 109 L1, GPO1 Duty 110 L0, GPO2 Duty 114 L0, "
                                            "AUX Current 105 L0, Main Current 106 L0, Battery 100 L0, GPI1 1023 L0, "
                                            "GPI2 0 L0"));
        for (const char* name : {"MAP", "GPI1"})
            QCOMPARE(legend_label(c.g, c.g.get_curve(name))->isChecked(), c.g.get_curve(name)->isVisible());
        QVERIFY(1280.0 > c.g.axisInterval(QwtPlot::yLeft).maxValue());
    }

    void legend_click_toggles_curve_and_mark()
    {
        chart c(3);
        c.g.show();
        QwtPlotCurve* an_a = c.g.get_curve("AN_A");
        QwtLegendLabel* label = legend_label(c.g, an_a);
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(an_a->isVisible() && label->isChecked());
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!an_a->isVisible() && !label->isChecked() && c.g.get_curve("MAP")->isVisible());
        c.g.show_curve("AN_A", true);
        QVERIFY(an_a->isVisible() && label->isChecked());
    }

    void unknown_names_are_logged_and_change_nothing()
    {
        chart c(0);
        log_graph& g = c.g;
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

    void marker_label()
    {
        log_graph g;
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

    // During an append the values may lag their stamps: only whole rows are handed over. A clear between the
    // plot's count and its reads leaves nothing to read but is no fault.
    void series_never_reads_past_a_lagging_column()
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
    }

    // One sample either side of the visible range, so lines reach the edges; a file read back with a row out
    // of order is drawn whole, also as it grows.
    void series_is_cut_to_the_visible_window()
    {
        columns c;
        c.fill(20000);
        QCOMPARE(c.view(19900, 2000), QString("19899+101")); // ahead of the newest sample, as while logging
        QCOMPARE(c.view(5000, 1000), QString("4999+1003"));
        QCOMPARE(c.series.sample(0), QPointF(double(start_ms + 4999 * 13), 4999 % 1024));
        c.fill(3000, 0, 2500);
        QCOMPARE(c.view(1000, 100), QString("0+3000"));
        c.fill(1, 3000);
        QCOMPARE(c.view(1000, 100), QString("0+3001"));
    }
};

QTEST_MAIN(tst_log_graph)
#include "tst_log_graph.moc"
