#include "graphs/table_graph.h"
#include "graphs/table_grapher.h"
#include "tests/support/log_capture.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QToolTip>
#include <QtTest>

namespace {

struct colour_census {
    int near_bottom_band = 0;
    int near_top_band = 0;
    double mean_y = 0;
};

bool near(QRgb pixel, QColor wanted)
{
    return qAbs(qRed(pixel) - wanted.red()) <= 8 && qAbs(qGreen(pixel) - wanted.green()) <= 8
        && qAbs(qBlue(pixel) - wanted.blue()) <= 8;
}

colour_census census(const QImage& img)
{
    colour_census c;
    double y_sum = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (near(p, QColor(127, 127, 255))) {
                ++c.near_bottom_band;
                y_sum += y;
            } else if (near(p, QColor(255, 127, 127))) {
                ++c.near_top_band;
                y_sum += y;
            }
        }
    const int n = c.near_bottom_band + c.near_top_band;
    c.mean_y = n ? y_sum / n : -1;
    return c;
}

void send_mouse(QWidget* w, QEvent::Type type, int x)
{
    const QPoint pos(x, 20);
    QMouseEvent e(type, pos, w->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

class tst_table_graph : public QObject {
    Q_OBJECT

private slots:
    void flat_tables_render_in_their_end_bands();
    void single_cell_counts_rows_from_the_top();
    void out_of_bounds_cell_is_refused();
    void many_cells_arrive_bottom_row_first();
    void click_rotates_by_side_of_middle();
    void small_resizes_do_not_render();
    void first_click_ends_the_tips();
};

void tst_table_graph::flat_tables_render_in_their_end_bands()
{
    table_graph g;
    g.resize(400, 300);
    g.show();

    g.set_values(QVector<double>(256, 0.0), 16, 16);
    const colour_census low = census(g.grab().toImage());
    g.set_values(QVector<double>(256, 100.0), 16, 16);
    const colour_census high = census(g.grab().toImage());

    // The surface covers a good part of the picture in exactly one band colour.
    QVERIFY2(low.near_bottom_band > 5000, qPrintable(QString::number(low.near_bottom_band)));
    QCOMPARE(low.near_top_band, 0);
    QVERIFY2(high.near_top_band > 5000, qPrintable(QString::number(high.near_top_band)));
    QCOMPARE(high.near_bottom_band, 0);
    // Height 100 sits well above height 0 on screen.
    QVERIFY(high.mean_y + 40 < low.mean_y);
}

void tst_table_graph::single_cell_counts_rows_from_the_top()
{
    table_graph g;
    const int before = g.get_grapher()->renders();
    g.set_value(42, 2, 0);
    g.set_value(7, 15, 15);
    const mglData& d = g.get_grapher()->grid();
    QCOMPARE(d.GetVal(2, 15), 42.0);
    QCOMPARE(d.GetVal(15, 0), 7.0);
    QCOMPARE(d.GetVal(2, 0), 0.0);
    QCOMPARE(g.get_grapher()->renders(), before + 2);
}

void tst_table_graph::out_of_bounds_cell_is_refused()
{
    table_graph g;
    g.set_values(QVector<double>(256, 9.0), 16, 16);
    const int before = g.get_grapher()->renders();
    log_capture log;

    g.set_value(50, 16, 3);
    g.set_value(50, 3, 16);
    g.set_value(50, -1, 0);

    QCOMPARE(log.texts(), QStringList({"Index out of bounds. 16 > 15 || 3 > 15",
                                       "Index out of bounds. 3 > 15 || 16 > 15",
                                       "Index out of bounds. -1 > 15 || 0 > 15"}));
    QCOMPARE(log.entries().first().type, QtCriticalMsg);
    const mglData& d = g.get_grapher()->grid();
    for (long i = 0; i < d.GetNN(); ++i)
        QCOMPARE(d.a[i], 9.0);
    QCOMPARE(g.get_grapher()->renders(), before);

    // A new grid size moves the bounds and draws nothing yet.
    g.data_resize(8, 4);
    QCOMPARE(g.get_grapher()->renders(), before);
    QCOMPARE(d.GetVal(7, 3), 0.0);
    log.clear();
    g.set_value(1, 8, 0);
    QCOMPARE(log.texts(), QStringList("Index out of bounds. 8 > 7 || 0 > 3"));
}

void tst_table_graph::many_cells_arrive_bottom_row_first()
{
    table_graph g;
    QVector<double> values;
    for (int i = 0; i < 256; ++i)
        values << i % 101;
    const int before = g.get_grapher()->renders();
    g.set_values(values, 16, 16);
    const mglData& d = g.get_grapher()->grid();
    QCOMPARE(d.GetNx(), 16L);
    QCOMPARE(d.GetNy(), 16L);
    QCOMPARE(d.GetVal(0, 0), 0.0);
    QCOMPARE(d.GetVal(15, 0), 15.0);
    QCOMPARE(d.GetVal(0, 1), 16.0);
    QCOMPARE(d.GetVal(15, 15), double(255 % 101));
    QCOMPARE(g.get_grapher()->renders(), before + 1);

    // A short vector fills what it has and reads nothing beyond its end.
    g.set_values(QVector<double>(10, 3.0), 16, 16);
    QCOMPARE(d.GetVal(9, 0), 3.0);
    QCOMPARE(d.GetVal(10, 0), 0.0);
}

void tst_table_graph::click_rotates_by_side_of_middle()
{
    table_graph g;
    QCOMPARE(g.getTet(), 60);
    QCOMPARE(g.getPhi(), 330);
    g.resize(401, 300);
    g.show();
    const int half = 200;

    send_mouse(&g, QEvent::MouseButtonPress, half - 1);
    QCOMPARE(g.getPhi(), 320);
    send_mouse(&g, QEvent::MouseButtonPress, half);
    QCOMPARE(g.getPhi(), 330);
    send_mouse(&g, QEvent::MouseButtonPress, 400);
    send_mouse(&g, QEvent::MouseButtonPress, 300);
    send_mouse(&g, QEvent::MouseButtonPress, 250);
    QCOMPARE(g.getPhi(), 0);
    send_mouse(&g, QEvent::MouseButtonPress, 0);
    QCOMPARE(g.getPhi(), 350);
}

void tst_table_graph::small_resizes_do_not_render()
{
    table_graph g;
    g.resize(400, 300);
    g.show();
    QCOMPARE(g.rendered_size(), QSize(400, 300));
    const int before = g.get_grapher()->renders();

    g.resize(405, 300);
    g.resize(409, 309);
    QCOMPARE(g.size(), QSize(409, 309));
    QCOMPARE(g.get_grapher()->renders(), before);
    QCOMPARE(g.rendered_size(), QSize(400, 300));

    // Measured from the last rendered size, not from the previous step.
    g.resize(411, 300);
    QCOMPARE(g.get_grapher()->renders(), before + 1);
    QCOMPARE(g.rendered_size(), QSize(411, 300));

    g.resize(411, 289);
    QCOMPARE(g.get_grapher()->renders(), before + 2);
    // The widget may shrink again below a picture it once had.
    g.resize(200, 150);
    QCOMPARE(g.size(), QSize(200, 150));
}

void tst_table_graph::first_click_ends_the_tips()
{
    table_graph g;
    g.resize(400, 300);
    g.show();
    QVERIFY(g.hasMouseTracking());
    QTest::qWait(300);

    send_mouse(&g, QEvent::MouseMove, 10);
    QCOMPARE(QToolTip::text(), QString("Click to rotate left"));
    QTest::qWait(300);
    send_mouse(&g, QEvent::MouseMove, 390);
    QCOMPARE(QToolTip::text(), QString("Click to rotate right"));

    send_mouse(&g, QEvent::MouseButtonPress, 390);
    QVERIFY(!g.tips_enabled());
    QTest::qWait(300);
    send_mouse(&g, QEvent::MouseMove, 10);
    // The click took the last tip down; no other takes its place.
    QCOMPARE(QToolTip::text(), QString());
}

QTEST_MAIN(tst_table_graph)
#include "tst_table_graph.moc"
