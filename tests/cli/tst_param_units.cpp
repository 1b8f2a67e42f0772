// What a stored integer reads as, what a typed value is stored as, and what the rules for writing
// make of a value the window's fields would not hold.

#include "model/conv.h"
#include "model/param_units.h"
#include "model/table_record.h"
#include "model/write_rules.h"

#include <QtTest>
#include <functional>

class tst_param_units : public QObject {
    Q_OBJECT

    using edit = std::function<void(QList<QByteArray>&, QList<quint32>&)>;

    static void put(QByteArray& t, int offset, quint16 v)
    {
        t[offset] = char(v >> 8);
        t[offset + 1] = char(v);
        t[639] = char(table_record::checksum_of(t.left(639)));
    }

    // Settings the window takes as they are: every table on boost from 0 to 29.8 PSI and 0 to 7500 RPM.
    static void sound(QList<QByteArray>& tables, QList<quint32>& ints)
    {
        ints = QList<quint32>();
        for (int i = 0; i < int_last; ++i)
            ints << 0;
        const QList<QPair<int_index, quint32>> set{
            {int_rpm_scaler, 4},    {int_main_mode, 0xA1},     {int_aux_mode, 0xB1},     {int_gpo1_mode, 0xD1},
            {int_gpo2_mode, 0xE1},  {int_gpi1_mode, 0x50},     {int_gpi2_mode, 0x50},    {int_base_slope, 16122},
            {int_base_intercept, 222312}, {int_base_atm, 223}, {int_active_slope, 16122}, {int_active_intercept, 222312},
            {int_active_atm, 223},  {int_active_deadband, 48},
        };
        for (const auto& [i, v] : set)
            ints[i] = v;
        QByteArray t(640, '\0');
        t[608] = char(0xCC);
        t[638] = char(vert_source_map);
        for (int k = 0; k < 16; ++k) {
            put(t, 512 + 2 * k, quint16(222 + 32 * k));
            put(t, 544 + 2 * k, quint16(500 * k));
        }
        tables = QList<QByteArray>{t, t, t, t};
    }

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
            {int_gpo1_mode, 0xD3, "OFF above setpoint, ON below it (3)", 3, 0xD3},
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

    void write_rules_correct_as_the_window()
    {
        using namespace write_limits;
        const struct {
            write_limit limit;
            double typed, kept;
        } fields[] = {
            {pulses_per_rev, 0.3, 0.5},  {pulses_per_rev, 1.2, 1.5},      {tick_delay, 20000, 10010},
            {tick_delay, 20, 26},        {override_duty, 150, 100},        {over_current(variant_rv8_s), 20, 10},
            {over_current(variant_rv8_sx), 20, 20}, {max_engine_speed, 7520, 8000}, {under_current, 12.34, 12.3},
        };
        for (const auto& f : fields)
            QVERIFY2(write_rules::snap_value(f.limit, f.typed) == f.kept,
                     qPrintable(QString::number(f.typed) + " -> " + QString::number(write_rules::snap_value(f.limit, f.typed))));
        double low = 2.0, high = 2.3;
        write_rules::keep_apart(analog_range, analog_gap, true, &low, &high);
        QCOMPARE(std::make_pair(low, high), std::make_pair(1.8, 2.3));
        write_rules::keep_apart(analog_range, analog_gap, false, &(low = 4.8), &(high = 4.9));
        QCOMPARE(std::make_pair(low, high), std::make_pair(4.8, 5.0));
        QCOMPARE(write_rules::firmware_warning(0x0166), QStringLiteral("Incompatible firmware detected, need >= 0x167, have 0x166"));
        QCOMPARE(write_rules::firmware_warning(0x0167) + write_rules::firmware_warning(0), QString());

        const QList<std::tuple<const char*, edit, rv8_variant, QStringList, std::function<quint32(const corrected_settings&)>, quint32>> cases{
            {"sound", [](QList<QByteArray>&, QList<quint32>&) {}, variant_rv8_s, {},
             [](const corrected_settings& c) { return quint32(c.tables[tbl_main] == c.tables[tbl_aux]); }, 1},
            {"pulses", [](QList<QByteArray>&, QList<quint32>& i) { i[int_rpm_scaler] = 0; }, variant_rv8_sx,
             {"Pulses per revolution 0.0 pulses/rev -> 0.5 pulses/rev (at least 0.5 pulses/rev)"},
             [](const corrected_settings& c) { return c.ints[int_rpm_scaler]; }, 1},
            {"pump prime", [](QList<QByteArray>&, QList<quint32>& i) { i[int_pump_prime_delay] = 1000; }, variant_rv8_sx,
             {"Pump priming delay 13000 ms -> 10010 ms (at most 10010 ms)"},
             [](const corrected_settings& c) { return c.ints[int_pump_prime_delay]; }, 770},
            {"GPI request", [](QList<QByteArray>&, QList<quint32>& i) { i[int_gpi1_request] = 1535; }, variant_rv8_sx,
             {"GPI1 override duty 150 % -> 100 % (at most 100 %)"},
             [](const corrected_settings& c) { return c.ints[int_gpi1_request]; }, 1023},
            {"RV8-S current", [](QList<QByteArray>& t, QList<quint32>&) { put(t[tbl_main], 615, 410); }, variant_rv8_s,
             {"MAIN over-current limit 20.0 A -> 10.0 A (an RV8-S allows at most 10.0 A)"},
             [](const corrected_settings& c) { return table_record(c.tables[tbl_main]).word(615); }, 205},
            {"RV8-SX current", [](QList<QByteArray>& t, QList<quint32>&) { put(t[tbl_main], 615, 410); }, variant_rv8_sx, {},
             [](const corrected_settings& c) { return table_record(c.tables[tbl_main]).word(615); }, 410},
            {"GPO delay", [](QList<QByteArray>& t, QList<quint32>&) { put(t[tbl_gpo1], 609, 1000); }, variant_rv8_sx,
             {"GPO1 activation delay 13000 ms -> 10010 ms (at most 10010 ms)"},
             [](const corrected_settings& c) { return table_record(c.tables[tbl_gpo1]).word(609); }, 770},
            {"mode code", [](QList<QByteArray>&, QList<quint32>& i) { i[int_gpo1_mode] = 0x22; }, variant_rv8_sx,
             {"GPO1 control code 0x22 -> 0xd2 (ON above setpoint, OFF below it)"},
             [](const corrected_settings& c) { return c.ints[int_gpo1_mode]; }, 0xD2},
            {"pump prime pairing", [](QList<QByteArray>&, QList<quint32>& i) { i[int_main_mode] = 0xA2; }, variant_rv8_sx,
             {"MAIN control Duty table + pump delay -> Duty table (only with AUX control on Duty table + pump delay)"},
             [](const corrected_settings& c) { return c.ints[int_main_mode]; }, 0xA1},
        };
        for (const auto& [name, change, variant, texts, probe, raw] : cases) {
            QList<QByteArray> tables;
            QList<quint32> ints;
            sound(tables, ints);
            change(tables, ints);
            const corrected_settings c = write_rules::correct_for_write(tables, ints, variant);
            QStringList got;
            for (const write_correction& k : c.corrections)
                got << k.text;
            QVERIFY2(got == texts && c.refusals.isEmpty(), qPrintable(QString::fromLatin1(name) + ": " + got.join('\n') + c.refusals.join('\n')));
            QVERIFY2(probe(c) == raw, qPrintable(QString::fromLatin1(name) + ": " + QString::number(probe(c))));
            for (const QByteArray& t : c.tables) // a corrected table goes out with its checksum made anew
                QVERIFY2(table_record(t).fault().isEmpty(), name);
        }
    }

    void write_rules_refuse_axes_the_window_would_redraw()
    {
        QList<QByteArray> tables;
        QList<quint32> ints;
        sound(tables, ints);
        put(tables[tbl_main], 574, 7520);
        put(tables[tbl_gpo2], 512, 400);
        tables[tbl_gpo2][638] = char(vert_source_analog_a);
        put(tables[tbl_gpo2], 542, 450);
        const corrected_settings c = write_rules::correct_for_write(tables, ints, variant_rv8_sx);
        QCOMPARE(c.refusals, QStringList({"MAIN duty table: engine speed axis ends at 7520 RPM; the window takes 1000 to 20000 "
                                          "RPM in steps of 500 and would draw the axis anew",
                                          "GPO2 duty table: load axis 2.0 V to 2.2 V; the window takes analog ranges of 0.0 V "
                                          "to 5.0 V at least 0.5 V apart and would draw the axis anew"}));
        QCOMPARE(c.tables, tables);
    }
};

QTEST_GUILESS_MAIN(tst_param_units)
#include "tst_param_units.moc"
