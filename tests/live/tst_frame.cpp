// Live records come from the unit and rows from files users edit by hand, so both decoders are
// checked field by field, and every malformed row must give the zero frame and one message.

#include "live/rv8_frame.h"
#include "tests/support/log_capture.h"

#include <QDateTime>
#include <QtTest>

#include <numeric>

namespace {

// Bytes 1, 2, 3, ... 70: every field's value then shows its offset and width.
QByteArray counting_record()
{
    QByteArray r(70, 0);
    std::iota(r.begin(), r.end(), char(1));
    return r;
}

// "5,1,2,...,31" with one part replaced.
QString row_with(int part, const QString& text)
{
    QStringList parts = QString("5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,"
                                "16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31").split(',');
    parts[part] = text;
    return parts.join(',');
}

}  // namespace

class tst_frame : public QObject {
    Q_OBJECT

private slots:
    void record_and_row_text()
    {
        std::array<quint32, rv8_frame::value_count> maxima;
        maxima.fill(4294967295u);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        rv8_frame f(counting_record());
        QVERIFY(f.timestamp >= before && f.timestamp <= QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(f.to_row().section(',', 1),
                 QString("258,772,1286,1800,2314,2828,3342,3856,4370,4884,5398,5912,6426,6940,7454,31,32,33,8739,"
                         "36,37,9767,10281,707472429,46,791687474,859059510,926431546,993803582,16192,1094861636\r\n"));
        log_capture log;
        QCOMPARE(rv8_frame(counting_record().left(67)).values(), rv8_frame().values());
        QCOMPARE(rv8_frame(-5, maxima).to_row(),
                 QString("-5,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,"
                         "255,255,255,65535,255,255,65535,65535,4294967295,255,4294967295,4294967295,4294967295,"
                         "4294967295,65535,4294967295\r\n"));
        QCOMPARE(rv8_frame::csv_header(),
                 QString("timestamp,batt adc,map adc,an1 adc,afr,an2 adc,aux current,main current,rpm,aux duty,"
                         "main duty,gpo1 duty,boost target low,boost target high,pot boost target,gpo2 duty,"
                         "gpi1 state,gpi2 state,aux master,inj pulse width,error pol,coarse mode,command,current pos,"
                         "error,previous pid,pterm,iterm,dterm,istate,istate lu,result\r\n"));
        for (const rv8_frame& f : {rv8_frame(counting_record()), rv8_frame(-9223372036854775807 - 1, maxima),
                                   rv8_frame(9223372036854775807, maxima)}) {
            const rv8_frame back(f.to_row());
            QCOMPARE(back.timestamp, f.timestamp);
            QCOMPARE(back.values(), f.values());
        }
        // Fields keep their low bits; parts after the last field are ignored.
        const rv8_frame low(row_with(24, "4294967299").replace(",16,", ",256,").replace("5,1,", "7,65537,") + ",x,,");
        QCOMPARE(low.to_row(),
                 QString("7,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,0,17,18,19,20,21,22,23,3,25,26,27,28,29,30,31\r\n"));
        QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Live record too short: 67 bytes"}));
        QCOMPARE(log.entries().size(), 1);
    }

    // A letter, 31 parts, an empty part, a negative value, a fractional time stamp, beyond 64 bits.
    void bad_rows()
    {
        for (const QString& row : {row_with(9, "x9"), row_with(0, "5").section(',', 0, 30), row_with(16, ""),
                                   row_with(31, "-31"), row_with(0, "5.5"), row_with(24, "18446744073709551616"),
                                   QString(), rv8_frame::csv_header()}) {
            log_capture log;
            const rv8_frame f(row);
            QVERIFY2(f.timestamp == 0 && f.values() == rv8_frame().values(), qPrintable(row));
            QCOMPARE(log.texts(), QStringList({"Could not parse line in log: " + row}));
            QCOMPARE(log.entries().first().type, QtCriticalMsg);
        }
    }
};

QTEST_GUILESS_MAIN(tst_frame)
#include "tst_frame.moc"
