#include "tables/duty_table.h"
#include "tests/support/log_capture.h"

#include <QHeaderView>
#include <QtTest>

#include <cmath>

namespace {
QString columns(int max_rpm)
{
    QStringList out;
    for (int i = 0; i < 16; ++i)
        out << QString::number(duty_table::calc_horz_axis(max_rpm, i));
    return out.join(' ');
}

QString header_texts(const duty_table& t, Qt::Orientation o)
{
    QStringList out;
    for (int i = 0; i < 16; ++i)
        out << (o == Qt::Horizontal ? t.horizontalHeaderItem(i) : t.verticalHeaderItem(i))->text();
    return out.join(' ');
}
}

class tst_duty_axes : public QObject {
    Q_OBJECT
private slots:
    void columns_for_every_listed_maximum();
    void columns_refused_and_unlisted();
    void boost_rows_for_every_whole_range();
    void boost_rows_offsets_and_examples();
    void boost_rows_refused_ranges();
    void headers_written_and_read_back();
};

// Every maximum from 1000 to 20000 has a start speed that makes the steps even and ends on max_rpm.
void tst_duty_axes::columns_for_every_listed_maximum()
{
    log_capture log;
    for (int max_rpm = 1000; max_rpm <= 20000; max_rpm += 500) {
        const int start = duty_table::calc_horz_axis(max_rpm, 1);
        const int step = duty_table::calc_horz_axis(max_rpm, 2) - start;
        QVERIFY(start > 0 && step > 0);
        QCOMPARE(start + step * 14, max_rpm);
        for (int i = 3; i <= 15; ++i)
            QCOMPARE(duty_table::calc_horz_axis(max_rpm, i), start + step * (i - 1));
        QCOMPARE(duty_table::calc_horz_axis(max_rpm, 0) + duty_table::calc_horz_axis(max_rpm, 16), 0);
    }
    const QList<QPair<int, int>> starts = {{1000, 300}, {4000, 500}, {10000, 200}, {11000, 500},
                                           {17500, 2100}, {18000, 500}, {20000, 2500}};
    for (const auto& s : starts)
        QCOMPARE(duty_table::calc_horz_axis(s.first, 1), s.second);
    QCOMPARE(columns(8000), QString("0 1000 1500 2000 2500 3000 3500 4000 4500 5000 5500 6000 6500 7000 7500 8000"));
    QVERIFY(log.entries().isEmpty());
}

void tst_duty_axes::columns_refused_and_unlisted()
{
    log_capture log;
    QCOMPARE(columns(8250), QString("0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
    QCOMPARE(log.count("max_rpm must be % by 500 8250"), 16);
    QCOMPARE(log.entries().size(), 16);
    // A multiple of 500 outside the list starts at 0.
    QCOMPARE(columns(500), QString("0 0 35 70 105 140 175 210 245 280 315 350 385 420 455 490"));
    QCOMPARE(duty_table::calc_horz_axis(20500, 15), 20496); // 20500 / 14 truncates

    duty_table table(16, 16);
    table.set_horz_axis(8000);
    log.clear();
    table.set_horz_axis(8250);
    QVERIFY(log.entries().isEmpty());
    QCOMPARE(header_texts(table, Qt::Horizontal), columns(8000));
}

// Every whole range the rule handles ends at max and keeps rows 1..15 on a tidy grid.
void tst_duty_axes::boost_rows_for_every_whole_range()
{
    log_capture log;
    for (int diff = 5; diff <= 100; ++diff) {
        const double min = diff % 2 ? -10.0 : 0.0;
        const double max = min + diff;
        QCOMPARE(duty_table::calc_vert_axis(max, min, 0), min);
        QVERIFY(qAbs(duty_table::calc_vert_axis(max, min, 15) - max) < 1e-9);
        const double offset = duty_table::calc_vert_axis(max, min, 1) - min;
        QVERIFY(offset > 0 && offset < 15);
        const double spacing = (diff - offset) / 14;
        if (diff >= 92)
            QCOMPARE(spacing, diff <= 98 ? 6.0 : 7.0);
        else
            QVERIFY2(std::fmod(spacing, diff <= 35 ? 0.25 : 0.5) == 0.0, qPrintable(QString::number(diff)));
        for (int i = 2; i <= 15; ++i)
            QVERIFY(qAbs(duty_table::calc_vert_axis(max, min, i) - (min + offset + (i - 1) * spacing)) < 1e-9);
    }
    QVERIFY(log.entries().isEmpty());
}

void tst_duty_axes::boost_rows_offsets_and_examples()
{
    const double offsets[][2] = {
        {5, 1.5}, {6, 2.5}, {7, 3.5}, {8, 1.0}, {9, 2.0}, {10, 3.0}, {11, 0.5}, {34, 2.5}, {35, 3.5},
        {36, 1.0}, {38, 3.0}, {39, 4.0}, {40, 5.0}, {41, 6.0}, {42, 7.0}, {87, 3.0}, {88, 4.0}, {89, 5.0},
        {90, 6.0}, {91, 7.0}, {92, 8.0}, {93, 9.0}, {98, 14.0}, {99, 1.0}, {100, 2.0},
        {19.5, 2.5}, // the range is rounded first: 19.5 counts as 20
    };
    for (const auto& o : offsets)
        QCOMPARE(duty_table::calc_vert_axis(o[0], 0, 1), o[1]);

    duty_table table(16, 16);
    table.set_vert_axis_boost(0, 30);
    QCOMPARE(header_texts(table, Qt::Vertical), QString("30.00 28.00 26.00 24.00 22.00 20.00 18.00 16.00 14.00 "
                                                        "12.00 10.00 8.00 6.00 4.00 2.00 0.00"));
    table.set_vert_axis_boost(0, 20);
    QVERIFY(header_texts(table, Qt::Vertical).endsWith(" 6.25 5.00 3.75 2.50 0.00"));
    QCOMPARE(table.vert_header_at(13), 3.75);
}

void tst_duty_axes::boost_rows_refused_ranges()
{
    log_capture log;
    QCOMPARE(duty_table::calc_vert_axis(4.4, 0, 0), 0.0);
    QCOMPARE(log.texts(QtCriticalMsg), QStringList{"boost_diff < 5.  4 0 4.4"});
    duty_table table(16, 16);
    log.clear();
    table.set_vert_axis_boost(0, 4.4);
    QCOMPARE(header_texts(table, Qt::Vertical), QString("0.00 0.00 0.00 0.00 0.00 0.00 0.00 0.00 0.00 0.00 0.00 "
                                                        "0.00 0.00 0.00 0.00 0.00"));
    QCOMPARE(log.entries().size(), 16);
    QCOMPARE(duty_table::calc_vert_axis(14.5, 10, 15), 14.5); // 4.5 rounds up to 5

    log.clear();
    QCOMPARE(duty_table::calc_vert_axis(120, 0, 1), 0.0);
    QCOMPARE(duty_table::calc_vert_axis(120, 0, 8), 7 * 120 / 14.0);
    QCOMPARE(duty_table::calc_vert_axis(30, 0, 16), 0.0);
    QCOMPARE(log.texts(), (QStringList{"Unhandled boost_diff 120", "Unhandled boost_diff 120", "Unhandled index 16"}));
    QCOMPARE(log.texts(QtWarningMsg).size(), 2);
}

void tst_duty_axes::headers_written_and_read_back()
{
    log_capture log;
    duty_table table(16, 16);
    table.set_horz_axis(12000);
    QCOMPARE(header_texts(table, Qt::Horizontal), columns(12000));
    QVERIFY(columns(12000).startsWith("0 800 1600 "));
    QCOMPARE(table.horz_header_at(2), 1600);
    const int width = QFontMetrics(table.font()).horizontalAdvance("12000") + 20;
    QCOMPARE(table.horizontalHeader()->defaultSectionSize(), width);
    QCOMPARE(table.horizontalHeader()->minimumWidth(), width);

    table.set_vert_axis_linear(-1, 2);
    QCOMPARE(header_texts(table, Qt::Vertical), QString("2.00 1.80 1.60 1.40 1.20 1.00 0.80 0.60 0.40 0.20 "
                                                        "0.00 -0.20 -0.40 -0.60 -0.80 -1.00"));
    QCOMPARE(table.vert_header_at(14), -0.8);
    QVERIFY(log.entries().isEmpty());
    QCOMPARE(table.horz_header_at(16), 0);
    QCOMPARE(table.vert_header_at(20), 0.0);
    QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"16 >= 16", "20 >= 16"}));
}

QTEST_MAIN(tst_duty_axes)
#include "tst_duty_axes.moc"
