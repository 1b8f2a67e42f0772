#include "graphs/table_graph.h"
#include "graphs/table_grapher.h"
#include "tests/support/log_capture.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtTest>

namespace {
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

class tst_table_graph : public QObject {
    Q_OBJECT
    std::unique_ptr<table_graph> g;

private slots:
    void init()
    {
        g.reset(new table_graph);
        g->resize(400, 300);
        g->show();
    }

    // The surface covers a good part of the picture in exactly one end band; 100 sits above 0 on screen.
    void flat_tables_render_in_their_end_bands()
    {
        const QColor bottom(127, 127, 255), top(255, 127, 127);
        g->set_values(QVector<double>(256, 0.0), 16, 16);
        const QImage low = g->grab().toImage();
        g->set_values(QVector<double>(256, 100.0), 16, 16);
        const QImage high = g->grab().toImage();
        const auto low_band = census(low, bottom), high_band = census(high, top);
        QVERIFY(low_band.first > 5000 && high_band.first > 5000);
        QCOMPARE(census(low, top).first + census(high, bottom).first, 0);
        QVERIFY(high_band.second + 40 < low_band.second);
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

    void click_rotates_by_side_of_middle()
    {
        QCOMPARE(g->getTet() * 1000 + g->getPhi(), 60330);
        g->resize(401, 300);
        QList<int> phi;
        for (int x : {199, 200, 400, 300, 250, 0}) {
            send_mouse(g.get(), QEvent::MouseButtonPress, x);
            phi << g->getPhi();
        }
        QCOMPARE(phi, (QList<int>{320, 330, 340, 350, 0, 350}));
    }

    // Measured from the last rendered size, not from the previous step.
    void small_resizes_do_not_render()
    {
        QCOMPARE(g->rendered_size(), QSize(400, 300));
        const int before = g->get_grapher()->renders();
        g->resize(405, 300);
        g->resize(409, 309);
        QCOMPARE(g->get_grapher()->renders(), before);
        g->resize(411, 300);
        QCOMPARE(g->get_grapher()->renders(), before + 1);
        QCOMPARE(g->rendered_size(), QSize(411, 300));
        g->resize(411, 289);
        QCOMPARE(g->get_grapher()->renders(), before + 2);
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
        QStringList minimums;
        const auto note = [&] { minimums << QString("%1x%2").arg(graph->minimumWidth()).arg(graph->minimumHeight()); };
        graph->set_values(QVector<double>(256, 40.0), 16, 16);
        note();
        graph->set_value(70, 3, 3);
        note();
        send_mouse(graph, QEvent::MouseButtonPress, 10);
        note();
        window.resize(200, 150);
        QCoreApplication::processEvents();
        note();
        QCOMPARE(minimums.join(" "), QString("0x0 0x0 0x0 0x0"));
        QVERIFY(graph->width() <= 200);
    }

    // The click takes the last tip down and no other takes its place.
    void first_click_ends_the_tips()
    {
        QTest::qWait(300);
        send_mouse(g.get(), QEvent::MouseMove, 10);
        QCOMPARE(QToolTip::text(), QString("Click to rotate left"));
        QTest::qWait(300);
        send_mouse(g.get(), QEvent::MouseMove, 390);
        QCOMPARE(QToolTip::text(), QString("Click to rotate right"));
        send_mouse(g.get(), QEvent::MouseButtonPress, 390);
        QVERIFY(!g->tips_enabled());
        QTest::qWait(300);
        send_mouse(g.get(), QEvent::MouseMove, 10);
        QCOMPARE(QToolTip::text(), QString());
    }
};

QTEST_MAIN(tst_table_graph)
#include "tst_table_graph.moc"
