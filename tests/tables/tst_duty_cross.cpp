#include "tables/duty_table.h"

#include <QtTest>

// The viewport is 640 x 320, so columns are 40 and rows 20 pixels apart.
class tst_duty_cross : public QObject {
    Q_OBJECT
    std::unique_ptr<duty_table> t;
    qint64 now = 1000;
    QPoint move(quint16 rpm, double load, qint64 step = 101)
    {
        now += step;
        t->set_highlight(rpm, load);
        return QPoint(t->vert_line_geometry().x(), t->horz_line_geometry().y());
    }

private slots:
    void init()
    {
        t.reset(new duty_table(16, 16));
        t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        t->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.get()));
        t->resize(QSize(640, 320) + t->size() - t->viewport()->size());
        QCoreApplication::processEvents();
        QCOMPARE(t->viewport()->size(), QSize(640, 320));
        t->set_horz_axis(8000);
        t->set_vert_axis_linear(0, 30);
        now = 1000;
        t->set_clock([this] { return now; });
    }

    void lines_data()
    {
        QTest::addColumn<int>("rpm");
        QTest::addColumn<double>("load");
        QTest::addColumn<QPoint>("at");
        QTest::newRow("on headers") << 1000 << 30.0 << QPoint(60, 10);
        QTest::newRow("between headers") << 1250 << 3.0 << QPoint(80, 280);
        QTest::newRow("truncated, rounded half away") << 1010 << 2.25 << QPoint(60, 287); // 60.8, 287.5
        QTest::newRow("just past the last column, below the bottom centre") << 8010 << -0.5 << QPoint(620, 315);
        // Half a row below the bottom header and half a row above the top one are where the axis
        // changes scale; exactly on them either side's rule must give the same line.
        QTest::newRow("on the lower edge") << 1000 << -1.0 << QPoint(60, 330);
        QTest::newRow("on the bottom header") << 1000 << 0.0 << QPoint(60, 310);
        QTest::newRow("on a middle header") << 1000 << 16.0 << QPoint(60, 150);
        QTest::newRow("on the upper edge") << 1000 << 31.0 << QPoint(60, 0);
        QTest::newRow("past the last column, far below") << 9000 << -10.0 << QPoint(700, 420);
    }

    void lines()
    {
        QFETCH(int, rpm);
        QFETCH(double, load);
        QFETCH(QPoint, at);
        move(quint16(rpm), load);
        QCOMPARE(t->vert_line_geometry(), QRect(at.x(), 0, 1, 320));
        QCOMPARE(t->horz_line_geometry(), QRect(0, at.y(), 640, 1));
    }

    void moves_at_most_every_100_ms()
    {
        QCOMPARE(move(1000, 0, 1), QPoint(60, 310));
        QCOMPARE(move(8000, 30, 50), QPoint(60, 310));
        QCOMPARE(move(8000, 30, 50), QPoint(60, 310));
        QCOMPARE(move(8000, 30, 1), QPoint(620, 10));
    }

    // Equal neighbouring breakpoints (columns 0, 0, 35, ... for 500; equal rows for a range of 0) would
    // divide by zero; the line stays on the lower centre instead.
    void flat_axes_do_not_break_the_position()
    {
        t->set_horz_axis(500);
        t->set_vert_axis_linear(5, 5);
        QCOMPARE(move(0, 5), QPoint(20, 310));
        QCOMPARE(move(490, 7), QPoint(620, 10));
    }
};

QTEST_MAIN(tst_duty_cross)
#include "tst_duty_cross.moc"
