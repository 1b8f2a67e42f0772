// What a stored integer reads as, and what a typed value is stored as, for each kind of setting.

#include "model/conv.h"
#include "model/param_units.h"

#include <QtTest>

class tst_param_units : public QObject {
    Q_OBJECT

private slots:
    void reads_and_stores_in_user_units()
    {
        converter conv;
        const struct {
            int_index index;
            quint32 raw;
            const char* text;
            double typed;
            quint32 stored;
        } cases[] = {
            {int_rpm_scaler, 5, "2.5 pulses/rev", 2.9, 5},
            {int_pump_prime_delay, 38, "494 ms", 500, 38},
            {int_gpi2_deact_delay, 0x1400, "1024 ms", 1024, 79}, // the window keeps 16 bits of ms
            {int_main_mode, 0xA2, "Duty table + pump delay (2)", 1, 0xA1},
            {int_gpo2_mode, 0xE6, "ON when AUX faulted, OFF otherwise (6)", 3, 0xE3},
            {int_gpi1_mode, 0x5F, "unknown (95)", 4, 0x54},
            {int_gpi1_request, 1000, "98 %", 150, 1023},
            {int_active_slope, 16122, "16.122 counts/PSI", 16.1226, 16123},
            {int_base_atm, 223, "223 counts", 223.9, 223},
            {int_active_deadband, 48, "3 PSI", 3, 48},
            {int_max_boost, 706, "30 PSI", 30, 706},
            {int_max_ana_input, 2000, "5.00 V", 2.5, 512},
            {int_variant, 1, "RV8-S (1)", 0, 0},
            {int_gui_version, 0x02000B00, "2.11.0", 0, 0},
            {int_fw_version, 0x0201, "fw v2.1", 0, 0},
        };
        for (const auto& c : cases) {
            const param_unit& row = param_unit_of(c.index);
            const QString text = format_param(c.index, c.raw, conv);
            QVERIFY2(text == QLatin1String(c.text), qPrintable(int_names[c.index] + ": " + text));
            QVERIFY2(row.to_raw(c.typed, conv) == c.stored,
                     qPrintable(int_names[c.index] + ": " + QString::number(row.to_raw(c.typed, conv))));
        }
        conv.set_boost_units(boost_kpa);
        QCOMPARE(format_param(int_min_boost, 222, conv), QStringLiteral("-0.13 kPa"));
        QCOMPARE(fw_version_text(0), QStringLiteral("bootloader"));
    }
};

QTEST_GUILESS_MAIN(tst_param_units)
#include "tst_param_units.moc"
