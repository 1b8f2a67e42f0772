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
#include <qwt/qwt_plot_curve.h>
#include <qwt/qwt_plot_marker.h>
#include <qwt/qwt_scale_div.h>
#include <qwt/qwt_scale_draw.h>

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
            std::array<quint32, rv8_frame::value_count> v{};
            for (int e = 0; e < rv8_frame::value_count; ++e)
                v[size_t(e)] = 100 + quint32(e);
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

    void fill(int n, int from = 0, int backwards_at = -1)
    {
        for (int i = from; i < from + n; ++i) {
            stamps.append(start_ms + (backwards_at < 0 ? 0 : 7) + (i == backwards_at ? 10 : i) * 13);
            values.append(unsigned(i % 1024));
        }
    }
    void refill(int n, int backwards_at = -1)
    {
        stamps.clear();
        values.clear();
        fill(n, 0, backwards_at);
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

    // Name, colour, first sample's y, full scale, axis and whether shown (in the legend too), in drawing order;
    // a digital input of 1 and a file mark plot at 1023 and 1280, the mark above the percent axis.
    void live_curves_follow_their_columns()
    {
        chart c;
        log_graph& g = c.g;
        QStringList curves;
        for (QwtPlotItem* item : g.itemList(QwtPlotItem::Rtti_PlotCurve).mid(1)) {
            auto* k = static_cast<QwtPlotCurve*>(item);
            QwtLegendLabel* label = legend_label(g, k);
            curves << QString("%1 %2 %3 %4 %5 %6/%7").arg(k->title().text(), k->pen().color().name())
                          .arg(k->sample(0).y()).arg(k->boundingRect().height())
                          .arg(k->yAxis() == QwtPlot::yLeft ? 'L' : 'R').arg(k->isVisible()).arg(label->isChecked());
        }
        QCOMPARE(curves, (QStringList{"MAP #0000ff 101 1023 L 1/1", "RPM #ff0000 107 10000 R 1/1",
                                      "AN_A #5f9ea0 102 1023 L 0/0", "AN_B #d2691e 104 1023 L 0/0",
                                      "AUX Duty #008000 108 1023 L 1/1", "Main Duty #ff1493 109 1023 L 1/1",
                                      "GPO1 Duty #20b2aa 110 1023 L 0/0", "GPO2 Duty #00008b 114 1023 L 0/0",
                                      "AUX Current #008b8b 105 1023 L 0/0", "Main Current #8b008b 106 1023 L 0/0",
                                      "Battery #000000 100 1023 L 0/0", "GPI1 #8b008b 1023 1 L 0/0",
                                      "GPI2 #ff8c00 0 1 L 0/0"}));
        QwtPlotCurve* band = g.get_curve("Logged to file");
        QCOMPARE(g.itemList(QwtPlotItem::Rtti_PlotCurve).first(), band);
        QCOMPARE(band->pen().style(), Qt::NoPen);
        QCOMPARE(band->brush().color(), QColor(0, 0, 128, 20));
        QCOMPARE(band->sample(0).y(), 1280.0);
        QVERIFY(1280.0 > g.axisInterval(QwtPlot::yLeft).maxValue());
    }

    void legend_click_toggles_curve_and_mark()
    {
        chart c(3);
        log_graph& g = c.g;
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

    void marker_label_and_legend_tip()
    {
        log_graph g;
        QCOMPARE(g.legend()->statusTip(), QString("Click to enable/disable plots"));
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
        c.refill(0);
        QCOMPARE(c.series.sample(2), QPointF());
        QCOMPARE(c.view(0, 8), QString("0+0"));
    }

    // One sample either side of the visible range, so lines reach the edges; a file read back with a row out
    // of order is drawn whole, also as it grows; refilled in order it is windowed again.
    void series_is_cut_to_the_visible_window()
    {
        columns c;
        c.fill(20000);
        QCOMPARE(c.view(5000, 1000), QString("4999+1003"));
        QCOMPARE(c.series.sample(0), QPointF(double(start_ms + 4999 * 13), 4999 % 1024));
        QCOMPARE(c.series.boundingRect(), QRectF(double(start_ms), 0, 19999 * 13, 1023));
        QCOMPARE(c.view(19900, 2000), QString("19899+101")); // ahead of the newest sample, as while logging
        c.view(-10000, 100);
        QVERIFY(c.series.size() <= 1);
        c.refill(3000, 2500);
        QCOMPARE(c.view(1000, 100), QString("0+3000"));
        c.fill(1, 3000);
        QCOMPARE(c.view(1000, 100), QString("0+3001"));
        c.refill(3000);
        QCOMPARE(c.view(1000, 100), QString("999+103"));
    }
};

QTEST_MAIN(tst_log_graph)
#include "tst_log_graph.moc"
