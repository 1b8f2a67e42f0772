#include "tables/duty_table.h"
#include "tests/support/log_capture.h"

#include <QScrollBar>
#include <QtTest>

// The viewport is sized to 640 x 320, so columns are 40 and rows 20 pixels apart.
class tst_duty_cross : public QObject {
    Q_OBJECT
private slots:
    void init();
    void vertical_line_data();
    void vertical_line();
    void horizontal_line_data();
    void horizontal_line();
    void moves_at_most_every_100_ms();
    void visibility_follows_wish_and_enabled_state();
    void flat_axes_do_not_break_the_position();

private:
    std::unique_ptr<duty_table> t;
    qint64 now = 1000;
    void move(quint16 rpm, double load);
};

void tst_duty_cross::init()
{
    t.reset(new duty_table(16, 16));
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->resize(800, 500);
    t->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.get()));
    const QSize extra = t->size() - t->viewport()->size();
    t->resize(QSize(640, 320) + extra);
    QCoreApplication::processEvents();
    QCOMPARE(t->viewport()->size(), QSize(640, 320));
    t->set_horz_axis(8000);
    t->set_vert_axis_linear(0, 30);
    now = 1000;
    t->set_clock([this] { return now; });
}

void tst_duty_cross::move(quint16 rpm, double load)
{
    now += 101;
    t->set_highlight(rpm, load);
}

void tst_duty_cross::vertical_line_data()
{
    QTest::addColumn<int>("rpm");
    QTest::addColumn<int>("x");
    QTest::newRow("0 at centre of column 0") << 0 << 20;
    QTest::newRow("on a header") << 1000 << 60;
    QTest::newRow("between headers") << 1250 << 80;
    QTest::newRow("truncated") << 1010 << 60;           // 60.8
    QTest::newRow("on the last header") << 8000 << 620;
    QTest::newRow("past the last column") << 9000 << 700;
    QTest::newRow("just past") << 8010 << 620;          // 620.8
}

void tst_duty_cross::vertical_line()
{
    QFETCH(int, rpm);
    QFETCH(int, x);
    move(quint16(rpm), 10);
    QCOMPARE(t->vert_line_geometry(), QRect(x, 0, 1, 320));
}

void tst_duty_cross::horizontal_line_data()
{
    QTest::addColumn<double>("load");
    QTest::addColumn<int>("y");
    QTest::newRow("on the bottom row") << 0.0 << 310;
    QTest::newRow("between rows") << 3.0 << 280;
    QTest::newRow("rounded half away") << 2.25 << 287;   // 32.5 up from the bottom
    QTest::newRow("on the top row") << 30.0 << 10;
    QTest::newRow("above the top row") << 31.0 << 0;
    QTest::newRow("below the bottom centre") << -0.5 << 315;
    QTest::newRow("far below, out of view") << -10.0 << 420;
}

void tst_duty_cross::horizontal_line()
{
    QFETCH(double, load);
    QFETCH(int, y);
    move(2000, load);
    QCOMPARE(t->horz_line_geometry(), QRect(0, y, 640, 1));
}

void tst_duty_cross::moves_at_most_every_100_ms()
{
    now = 1001;
    t->set_highlight(1000, 0);
    QCOMPARE(t->vert_line_geometry().x(), 60);
    now = 1051;
    t->set_highlight(8000, 30);
    QCOMPARE(t->vert_line_geometry().x(), 60);
    QCOMPARE(t->horz_line_geometry().y(), 310);
    now = 1101;
    t->set_highlight(8000, 30);
    QCOMPARE(t->vert_line_geometry().x(), 60);
    now = 1102;
    t->set_highlight(8000, 30);
    QCOMPARE(t->vert_line_geometry().x(), 620);
    QCOMPARE(t->horz_line_geometry().y(), 10);
}

void tst_duty_cross::visibility_follows_wish_and_enabled_state()
{
    QVERIFY(!t->cross_shown());
    t->set_highlight_visible(true);
    QVERIFY(t->cross_shown());
    t->setEnabled(false);
    QVERIFY(!t->cross_shown());
    t->set_highlight_visible(true);
    QVERIFY(!t->cross_shown());
    t->setEnabled(true);
    QVERIFY(t->cross_shown());
    t->set_highlight_visible(false);
    QVERIFY(!t->cross_shown());
    t->setEnabled(false);
    t->setEnabled(true);
    QVERIFY(!t->cross_shown());
    QVERIFY(!t->highlight_wanted());
}

// Equal neighbouring breakpoints (max 500 gives columns 0, 0, 35, ...; a range of 0 gives equal rows)
// would divide by zero; the line stays on the lower centre instead.
void tst_duty_cross::flat_axes_do_not_break_the_position()
{
    log_capture log;
    t->set_horz_axis(500);
    t->set_vert_axis_linear(5, 5);
    move(0, 5);
    QCOMPARE(t->vert_line_geometry().x(), 20);
    QCOMPARE(t->horz_line_geometry().y(), 310);
    move(490, 7);
    QCOMPARE(t->vert_line_geometry().x(), 620);
    QCOMPARE(t->horz_line_geometry().y(), 10);
    QVERIFY(log.entries().isEmpty());
}

QTEST_MAIN(tst_duty_cross)
#include "tst_duty_cross.moc"
