// Live records come from the unit and rows from files users edit by hand, so both decoders are
// checked field by field, and every malformed row must give the zero frame and one message.

#include "live/rv8_frame.h"
#include "tests/support/log_capture.h"

#include <QDateTime>
#include <QtTest>

namespace {

// Bytes 1, 2, 3, ... 70: every field's value then shows its offset and width.
QByteArray counting_record()
{
    QByteArray r;
    for (int k = 1; k <= 70; ++k)
        r.append(char(k));
    return r;
}

const char counting_row_values[] = "258,772,1286,1800,2314,2828,3342,3856,4370,4884,5398,5912,6426,6940,7454,"
                                   "31,32,33,8739,36,37,9767,10281,707472429,46,791687474,859059510,926431546,"
                                   "993803582,16192,1094861636\r\n";

std::array<quint32, rv8_frame::value_count> maxima()
{
    std::array<quint32, rv8_frame::value_count> v;
    v.fill(4294967295u);
    return v;
}

}  // namespace

class tst_frame : public QObject {
    Q_OBJECT

private slots:
    void record_fields_at_their_offsets();
    void record_values_are_big_endian();
    void record_stamped_when_decoded();
    void short_record_gives_zero_values();
    void values_cut_to_field_widths();
    void row_text_exact();
    void row_round_trip();
    void row_parsing_keeps_low_bits();
    void row_ignores_parts_after_the_last_field();
    void bad_rows_data();
    void bad_rows();
    void header_line();
    void registered_for_queued_signals();
};

void tst_frame::record_fields_at_their_offsets()
{
    rv8_frame f(counting_record());
    QCOMPARE(f.to_row().section(',', 1), QString(counting_row_values));
    QCOMPARE(int(f.batt_adc), 0x0102);
    QCOMPARE(int(f.gpo2_duty), 0x1D1E);
    QCOMPARE(int(f.gpi1_state), 0x1F);
    QCOMPARE(int(f.aux_master), 0x21);
    QCOMPARE(int(f.inj_pulse_width), 0x2223);
    QCOMPARE(f.error, 0x2A2B2C2Du);
    QCOMPARE(int(f.previous_pid), 0x2E);
    QCOMPARE(int(f.istate_lu), 0x3F40);
    QCOMPARE(f.result, 0x41424344u);
}

void tst_frame::record_values_are_big_endian()
{
    QByteArray r(70, '\0');
    r[0] = char(0x01);
    r[1] = char(0x2C);
    r[41] = char(0xFF);
    r[42] = char(0xFF);
    r[43] = char(0xFF);
    r[44] = char(0xFE);
    rv8_frame f(r);
    QCOMPARE(int(f.batt_adc), 300);
    QCOMPARE(f.to_row().section(',', 1),
             QString("300,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,4294967294,0,0,0,0,0,0,0\r\n"));
}

void tst_frame::record_stamped_when_decoded()
{
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    rv8_frame f(counting_record());
    const qint64 after = QDateTime::currentMSecsSinceEpoch();
    QVERIFY(f.timestamp >= before && f.timestamp <= after);
}

void tst_frame::short_record_gives_zero_values()
{
    log_capture log;
    rv8_frame f(counting_record().left(67));
    QCOMPARE(f.values(), rv8_frame().values());
    QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Live record too short: 67 bytes"}));
}

void tst_frame::values_cut_to_field_widths()
{
    rv8_frame f(-5, maxima());
    QCOMPARE(f.to_row(), QString("-5,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,65535,"
                                 "65535,65535,255,255,255,65535,255,255,65535,65535,4294967295,255,4294967295,"
                                 "4294967295,4294967295,4294967295,65535,4294967295\r\n"));
}

void tst_frame::row_text_exact()
{
    std::array<quint32, rv8_frame::value_count> v;
    for (int e = 0; e < rv8_frame::value_count; ++e)
        v[size_t(e)] = quint32(e * 7);
    rv8_frame f(1733493600123, v);
    QCOMPARE(f.to_row(), QString("1733493600123,0,7,14,21,28,35,42,49,56,63,70,77,84,91,98,105,112,119,126,133,"
                                 "140,147,154,161,168,175,182,189,196,203,210\r\n"));
    QCOMPARE(rv8_frame().to_row(), QString("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n"));
}

void tst_frame::row_round_trip()
{
    log_capture log;
    for (const rv8_frame& f : {rv8_frame(counting_record()), rv8_frame(-9223372036854775807 - 1, maxima()),
                               rv8_frame(9223372036854775807, maxima())}) {
        const rv8_frame back(f.to_row());
        QCOMPARE(back.timestamp, f.timestamp);
        QCOMPARE(back.values(), f.values());
        QVERIFY(back == f);
    }
    QVERIFY(log.entries().isEmpty());
}

void tst_frame::row_parsing_keeps_low_bits()
{
    // 256 in an 8-bit field, 65537 in a 16-bit one, 2^32 + 3 in a 32-bit one.
    rv8_frame f(QString("7,65537,0,0,0,0,0,0,0,0,0,0,0,0,0,0,256,0,0,0,0,0,0,0,4294967299,0,0,0,0,0,0,0"));
    QCOMPARE(f.timestamp, qint64(7));
    QCOMPARE(int(f.batt_adc), 1);
    QCOMPARE(int(f.gpi1_state), 0);
    QCOMPARE(f.error, 3u);
}

void tst_frame::row_ignores_parts_after_the_last_field()
{
    log_capture log;
    rv8_frame f(QString("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,x,,"));
    QCOMPARE(f.timestamp, qint64(1));
    QCOMPARE(f.result, 32u);
    QVERIFY(log.entries().isEmpty());
}

void tst_frame::bad_rows_data()
{
    QTest::addColumn<QString>("row");
    QTest::newRow("letter in the 10th column")
        << "5,1,2,3,4,5,6,7,8,x9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31";
    QTest::newRow("31 parts") << "5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30";
    QTest::newRow("empty part") << "5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31";
    QTest::newRow("negative value")
        << "5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,-31";
    QTest::newRow("bad time stamp")
        << "5.5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31";
    QTest::newRow("beyond 64 bits")
        << "5,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,18446744073709551616,25,26,27,28,29,30,31";
    QTest::newRow("empty") << "";
    QTest::newRow("header") << rv8_frame::csv_header();
}

void tst_frame::bad_rows()
{
    QFETCH(QString, row);
    log_capture log;
    rv8_frame f(row);
    QCOMPARE(f.timestamp, qint64(0));
    QCOMPARE(f.values(), rv8_frame().values());
    QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Could not parse line in log: " + row}));
    QCOMPARE(log.entries().size(), 1);
}

void tst_frame::header_line()
{
    const QString header = rv8_frame::csv_header();
    QCOMPARE(header, QString("timestamp,batt adc,map adc,an1 adc,afr,an2 adc,aux current,main current,rpm,"
                             "aux duty,main duty,gpo1 duty,boost target low,boost target high,pot boost target,"
                             "gpo2 duty,gpi1 state,gpi2 state,aux master,inj pulse width,error pol,coarse mode,"
                             "command,current pos,error,previous pid,pterm,iterm,dterm,istate,istate lu,result\r\n"));
    QCOMPARE(header.count(','), 31);
}

void tst_frame::registered_for_queued_signals()
{
    rv8_frame f;
    QCOMPARE(QMetaType::type("rv8_frame"), qMetaTypeId<rv8_frame>());
    rv8_frame g(counting_record());
    QVariant v = QVariant::fromValue(g);
    QVERIFY(v.value<rv8_frame>() == g);
}

QTEST_GUILESS_MAIN(tst_frame)
#include "tst_frame.moc"
