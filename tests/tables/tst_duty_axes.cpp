#include "tables/duty_table.h"
#include "tests/support/log_capture.h"

#include <QtTest>

namespace {
QString join16(const std::function<QVariant(int)>& at)
{
    QStringList out;
    for (int i = 0; i < 16; ++i)
        out << at(i).toString();
    return out.join(' ');
}
QString cols(int max_rpm) { return join16([=](int i) { return duty_table::calc_horz_axis(max_rpm, i); }); }
QString headers(duty_table& t, Qt::Orientation o) { return join16([&](int i) { return t.model()->headerData(i, o); }); }
}

class tst_duty_axes : public QObject {
    Q_OBJECT

private slots:
    void columns_for_every_maximum()
    {
        log_capture log;
        for (int max_rpm = 1000; max_rpm <= 20000; max_rpm += 500) {
            const int start = duty_table::calc_horz_axis(max_rpm, 1);
            const int step = duty_table::calc_horz_axis(max_rpm, 2) - start;
            QVERIFY(start > 0 && step > 0);
            for (int i = 0; i <= 15; ++i)
                QCOMPARE(duty_table::calc_horz_axis(max_rpm, i), i ? start + step * (i - 1) : 0);
            QCOMPARE(duty_table::calc_horz_axis(max_rpm, 15), max_rpm);
        }
        const int maxima[] = {1000, 4000, 10000, 11000, 17500, 18000, 20000};
        QCOMPARE(join16([&](int i) { return i < 7 ? duty_table::calc_horz_axis(maxima[i], 1) : 0; }),
                 QString("300 500 200 500 2100 500 2500 0 0 0 0 0 0 0 0 0"));
        QCOMPARE(cols(8000), QString("0 1000 1500 2000 2500 3000 3500 4000 4500 5000 5500 6000 6500 7000 7500 8000"));
        // A multiple of 500 outside the list starts at 0.
        QCOMPARE(cols(500), QString("0 0 35 70 105 140 175 210 245 280 315 350 385 420 455 490"));
        QVERIFY(log.entries().isEmpty());
        QCOMPARE(cols(8250), QString("0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
        QCOMPARE(log.texts().join('|'), QString("max_rpm must be % by 500 8250|").repeated(16).chopped(1));
    }

    // Every whole range ends at max and keeps rows 1..15 evenly spaced after its offset.
    void boost_rows_for_every_whole_range()
    {
        log_capture log;
        for (int diff = 5; diff <= 100; ++diff) {
            const double min = diff % 2 ? -10.0 : 0.0, max = min + diff;
            const double offset = duty_table::calc_vert_axis(max, min, 1) - min, spacing = (diff - offset) / 14;
            QVERIFY(duty_table::calc_vert_axis(max, min, 0) == min && offset > 0 && offset < 15);
            for (int i = 2; i <= 15; ++i)
                QVERIFY(qAbs(duty_table::calc_vert_axis(max, min, i) - (min + offset + (i - 1) * spacing)) < 1e-9);
        }
        QStringList offsets;
        for (int d : {5, 6, 7, 8, 9, 10, 11, 34, 35, 36, 38, 39, 40, 41, 42, 87, 88, 89, 90, 91, 92, 93, 98, 99, 100})
            offsets << QString::number(duty_table::calc_vert_axis(d, 0, 1));
        QCOMPARE(offsets.join(' '), QString("1.5 2.5 3.5 1 2 3 0.5 2.5 3.5 1 3 4 5 6 7 3 4 5 6 7 8 9 14 1 2"));
        QCOMPARE(duty_table::calc_vert_axis(19.5, 0, 1), 2.5); // the range is rounded first
        QCOMPARE(duty_table::calc_vert_axis(14.5, 10, 15), 14.5);
        QVERIFY(log.entries().isEmpty());
    }

    void headers_and_refusals()
    {
        log_capture log;
        duty_table table(16, 16);
        table.set_horz_axis(8000);
        table.set_horz_axis(8250);
        QCOMPARE(headers(table, Qt::Horizontal), cols(8000));
        table.set_vert_axis_linear(-1, 2);
        QCOMPARE(headers(table, Qt::Vertical).left(35), QString("2.00 1.80 1.60 1.40 1.20 1.00 0.80 "));
        QCOMPARE(table.vert_header_at(14), -0.8);
        log.clear();
        table.set_vert_axis_boost(0, 4.4);
        QCOMPARE(headers(table, Qt::Vertical), QString("0.00 ").repeated(16).trimmed());
        QCOMPARE(log.texts(QtCriticalMsg).join('|'), QString("boost_diff < 5.  4 0 4.4|").repeated(16).chopped(1));
        QCOMPARE(log.entries().size(), 16);
        log.clear();
        QCOMPARE(duty_table::calc_vert_axis(120, 0, 1), 0.0);
        QCOMPARE(duty_table::calc_vert_axis(120, 0, 8), 7 * 120 / 14.0);
        QCOMPARE(duty_table::calc_vert_axis(30, 0, 16), 0.0);
        QCOMPARE(table.horz_header_at(16), 0);
        QCOMPARE(table.vert_header_at(20), 0.0);
        QCOMPARE(log.texts(QtWarningMsg), (QStringList{"Unhandled boost_diff 120", "Unhandled boost_diff 120"}));
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"Unhandled index 16", "16 >= 16", "20 >= 16"}));
    }
};

QTEST_MAIN(tst_duty_axes)
#include "tst_duty_axes.moc"
