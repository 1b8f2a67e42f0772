#include "model/conv.h"
#include "tests/support/log_capture.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <numeric>

class tst_converter : public QObject {
    Q_OBJECT

private slots:
    void volts_amps_and_analog_inputs()
    {
        log_capture log;
        converter c;
        for (const auto& [volts, n] : {std::pair(5.0, 1023), {1.0, 205}, {2.0, 409}, {6.0, 1023}, {0.0, 0}, {-0.1, 0}})
            QCOMPARE(int(c.volt2adc(volts)), n);
        for (const auto& [amps, n] : {std::pair(10.0, 205), {60.0, 1023}, {-2.0, 0}})
            QCOMPARE(int(c.current2adc(amps)), n);
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"voltage is < 0:  -0.1", "current is < 0:  -2"}));
        // Halves go away from zero; anything unmeasurable lands on an end of the range.
        for (const auto& [v, n] : {std::pair(0.5, 1), {1.4999, 1}, {1022.5, 1023}, {-0.5, 0}, {NAN, 0}, {1e300, 1023}})
            QCOMPARE(int(converter::to_counts(v)), n);
        // Analog inputs read through the default table until a whole custom one of 1024 values is set.
        QCOMPARE(converter::default_analog_table().at(1), 0.004887586);
        QVector<double> custom(1024);
        std::iota(custom.begin(), custom.end(), 100.0);
        QVERIFY(!c.set_custom_ana(custom.mid(1)));
        QCOMPARE(c.adc2ana_a(1023), 5.0);
        QVERIFY(c.set_custom_ana(custom) && c.set_custom_anb(custom));
        c.set_custom_ana_defaults();
        QCOMPARE(c.adc2ana_a(1023), 5.0);
        QCOMPARE(c.adc2ana_b(2000), 1123.0);
    }

    void boost_deadband_and_atmospheric_reading()
    {
        // 14 PSI = 14 * 16.122 + 222.312 = 448.02 counts; 448 counts = 13.99876 PSI.
        const std::tuple<int, const char*, int, double, int, double> rows[] = {
            {0, "PSI", 0, 14.0, 448, 13.998759459},    {1, "Bar", 2, 0.965266, 448, 0.965180488},
            {2, "kPa", 2, 96.5266, 448, 96.518048832}, {0, "PSI", 0, -20.0, 0, -13.789356159},
            {2, "kPa", 2, 1000.0, 1023, 342.423360936}};
        for (const auto& [unit, name, decimals, boost, counts, shown] : rows) {
            converter c;
            c.set_boost_units(unit);
            QCOMPARE(c.boost_unit_name(), QString(name));
            QCOMPARE(c.boost_decimals(), decimals);
            QCOMPARE(int(c.boost2adc(boost)), counts);
            QVERIFY2(qAbs(c.adc2boost(quint16(counts)) - shown) < 1e-6, name);
        }
        converter c;
        QVERIFY(qAbs(c.max_boost() - 49.664) < 0.001);
        QCOMPARE(c.adc2boost(5000), c.adc2boost(1023));
        log_capture log;
        for (int unit : {2, 3, -1})
            c.set_boost_units(unit);
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"invalid boost_units 3", "invalid boost_units -1"}));
        QCOMPARE(c.boost_unit_name(), QString("PSI"));
        // Deadband in kPa.
        c.set_boost_units(2);
        QCOMPARE(int(c.deadband2adc(3.0)), 48);  // 48.366
        QCOMPARE(int(c.deadband2adc(-1.0)), 0);
        QCOMPARE(int(c.deadband2adc(100.0)), 1023);
        QCOMPARE(c.adc2deadband(48), 3);
        c.set_act_slope(16.0);
        QCOMPARE(c.adc2deadband(8), 1);  // exactly half a PSI
        QCOMPARE(c.adc2deadband(7), 0);
        // A slope no count can be divided by keeps the last usable one; the smallest a file holds works.
        QStringList refused;
        for (const auto& [slope, text] : {std::pair(0.0, "0"), {-0.0004, "-0.0004"}, {NAN, "nan"}, {INFINITY, "inf"}}) {
            c.set_act_slope(slope);
            refused << QString("Active slope %1 cannot convert boost, keeping 16").arg(text);
        }
        QCOMPARE(log.texts(QtWarningMsg), refused);
        QCOMPARE(c.adc2deadband(65535) + c.adc2boost(1023), 4096 + (1023 - 222.312) / 16.0 * 6.89475729);
        c.set_act_slope(0.001);
        QCOMPARE(c.adc2deadband(65535), 65535000);
        c.set_act_slope(16.0);
        QSignalSpy spy(&c, &converter::act_intercept_recalc);
        c.set_act_atm(230.9);
        QCOMPARE(int(c.act_atm()), 230);
        QVERIFY(qAbs(c.act_intercept() - 229.312) < 1e-9);
        QVERIFY(spy.count() == 1 && qAbs(spy.at(0).at(0).toDouble() - 229.312) < 1e-9);
        c.set_base_intercept(200.0);
        c.set_base_atm(210);
        c.set_act_atm(220);
        QVERIFY(qAbs(c.act_intercept() - 210.0) < 1e-9);
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_converter)
#include "tst_converter.moc"
