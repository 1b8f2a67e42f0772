#include "model/param_units.h"
#include "model/conv.h"

#include <QtMath>
#include <cmath>

namespace {

quint32 nearest(double v)
{
    return v <= 0 ? 0u : quint32(std::lround(v));
}

double plain(quint32 raw, const converter&) { return raw; }
quint32 plain_raw(double v, converter&) { return nearest(v); }
double half(quint32 raw, const converter&) { return raw * 0.5; }
quint32 half_raw(double v, converter&) { return v <= 0 ? 0u : quint32(v * 2); }
// The unit counts delays in 13 ms ticks.
double ticks(quint32 raw, const converter&) { return raw * 13.0; }
double ticks16(quint32 raw, const converter&) { return (raw * 13) & 0xFFFF; }
quint32 ticks_raw(double v, converter&) { return nearest(v / 13); }
double milli(quint32 raw, const converter&) { return raw / 1000.0; }
quint32 milli_raw(double v, converter&) { return nearest(v * 1000); }
quint32 truncated(double v, converter&) { return v <= 0 ? 0u : quint32(v); }
double percent(quint32 raw, const converter&) { return counts_to_percent(raw); }
quint32 percent_raw(double v, converter&) { return percent_to_counts(v); }
double deadband(quint32 raw, const converter& c) { return c.adc2deadband(quint16(qMin(raw, 0xFFFFu))); }
quint32 deadband_raw(double v, converter& c) { return c.deadband2adc(v); }
double boost(quint32 raw, const converter& c) { return c.adc2boost(quint16(qMin(raw, 1023u))); }
quint32 boost_raw(double v, converter& c) { return c.boost2adc(v); }
double volts(quint32 raw, const converter&) { return converter::adc2volt(qMin(raw, 1023u)); }
quint32 volts_raw(double v, converter& c) { return c.volt2adc(v); }
double mode(quint32 raw, const converter&) { return raw & 0x0F; }
// A mode byte carries its output in the high nibble.
template <quint32 base>
quint32 mode_raw(double v, converter&) { return (quint32(v) & 0x0F) | base; }

const char* const main_modes[] = {"Output OFF", "Duty table", "Duty table + pump delay", nullptr};
const char* const aux_modes[] = {"Output OFF", "Duty table", "Duty table + pump delay", "Duty table + OEM control",
                                 "OEM control pass-through", nullptr};
const char* const gpo1_modes[] = {"Output OFF", "Duty table", "ON above setpoint, OFF below it",
                                  "OFF above setpoint, ON below it", "ON when MAIN faulted, OFF otherwise",
                                  "OFF when MAIN faulted, ON otherwise", "ON while AUX faulted, OFF otherwise",
                                  "OFF while AUX faulted, ON otherwise", nullptr};
const char* const gpo2_modes[] = {"Output OFF", "Duty table", "ON above setpoint, OFF below it",
                                  "OFF above setpoint, ON below it", "ON when MAIN faulted, OFF otherwise",
                                  "OFF when MAIN faulted, ON otherwise", "ON when AUX faulted, OFF otherwise",
                                  "OFF when AUX faulted, ON otherwise", nullptr};
const char* const gpi_modes[] = {"Not used", "Override Main when high", "Override AUX when high",
                                 "Override GPO1 when high", "Override GPO2 when high", nullptr};
const char* const variants[] = {"RV8-SX", "RV8-S", nullptr};

const param_unit rows[int_last] = {
    {int_rpm_scaler, "pulses/rev", 1, false, half, half_raw, nullptr},
    {int_pump_prime_delay, "ms", 0, false, ticks, ticks_raw, nullptr},
    {int_boost_step, "", 0, false, plain, plain_raw, nullptr},
    {int_battery_value, "", 0, false, plain, plain_raw, nullptr},
    {int_map_value, "", 0, false, plain, plain_raw, nullptr},
    {int_wide_band_value, "", 0, false, plain, plain_raw, nullptr},
    {int_aux_current, "", 0, false, plain, plain_raw, nullptr},
    {int_main_current, "", 0, false, plain, plain_raw, nullptr},
    {int_spare_adc, "", 0, false, plain, plain_raw, nullptr},
    {int_main_pulse_width, "", 0, false, plain, plain_raw, nullptr},
    {int_pid_parameters, "", 0, false, plain, plain_raw, nullptr},
    {int_gpi1_state, "", 0, false, plain, plain_raw, nullptr},
    {int_gpi2_state, "", 0, false, plain, plain_raw, nullptr},
    {int_main_mode, "", 0, false, mode, mode_raw<0xA0>, main_modes},
    {int_aux_mode, "", 0, false, mode, mode_raw<0xB0>, aux_modes},
    {int_gpo1_mode, "", 0, false, mode, mode_raw<0xD0>, gpo1_modes},
    {int_gpo2_mode, "", 0, false, mode, mode_raw<0xE0>, gpo2_modes},
    {int_gpi1_mode, "", 0, false, mode, mode_raw<0x50>, gpi_modes},
    {int_gpi1_request, "%", 0, false, percent, percent_raw, nullptr},
    {int_gpi2_mode, "", 0, false, mode, mode_raw<0x50>, gpi_modes},
    {int_gpi2_request, "%", 0, false, percent, percent_raw, nullptr},
    {int_base_slope, "counts/PSI", 3, false, milli, milli_raw, nullptr},
    {int_base_intercept, "counts", 3, false, milli, milli_raw, nullptr},
    {int_base_atm, "counts", 0, false, plain, truncated, nullptr},
    {int_active_slope, "counts/PSI", 3, false, milli, milli_raw, nullptr},
    {int_active_intercept, "counts", 3, false, milli, milli_raw, nullptr},
    {int_active_atm, "counts", 0, false, plain, truncated, nullptr},
    {int_active_deadband, "PSI", 0, false, deadband, deadband_raw, nullptr},
    {int_variant, "", 0, false, plain, plain_raw, variants},
    {int_min_boost, "", 0, true, boost, boost_raw, nullptr},
    {int_max_boost, "", 0, true, boost, boost_raw, nullptr},
    {int_min_ana_input, "V", 2, false, volts, volts_raw, nullptr},
    {int_max_ana_input, "V", 2, false, volts, volts_raw, nullptr},
    {int_min_anb_input, "V", 2, false, volts, volts_raw, nullptr},
    {int_max_anb_input, "V", 2, false, volts, volts_raw, nullptr},
    {int_gpi1_act_delay, "ms", 0, false, ticks16, ticks_raw, nullptr},
    {int_gpi1_deact_delay, "ms", 0, false, ticks16, ticks_raw, nullptr},
    {int_gpi2_act_delay, "ms", 0, false, ticks16, ticks_raw, nullptr},
    {int_gpi2_deact_delay, "ms", 0, false, ticks16, ticks_raw, nullptr},
    {int_gui_version, "", 0, false, plain, plain_raw, nullptr},
    {int_fw_version, "", 0, false, plain, plain_raw, nullptr},
};

} // namespace

const param_unit& param_unit_of(int_index i)
{
    Q_ASSERT(i >= 0 && i < int_last && rows[i].index == i);
    return rows[i];
}

QString format_param(int_index i, quint32 raw, const converter& conv)
{
    if (i == int_gui_version)
        return gui_version_text(raw);
    if (i == int_fw_version)
        return fw_version_text(quint16(raw));
    const param_unit& row = param_unit_of(i);
    const double value = row.to_user(raw, conv);
    if (row.choices) {
        int n = 0;
        while (row.choices[n])
            ++n;
        const int k = int(value);
        return k >= 0 && k < n ? QStringLiteral("%1 (%2)").arg(QLatin1String(row.choices[k])).arg(k)
                               : QStringLiteral("unknown (%1)").arg(raw);
    }
    const int decimals = row.boost ? conv.boost_decimals() : row.decimals;
    const QString unit = row.boost ? conv.boost_unit_name() : QLatin1String(row.unit);
    const QString number = QString::number(value, 'f', decimals);
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

QString fw_version_text(quint16 version)
{
    if (version == 0)
        return QStringLiteral("bootloader");
    return QStringLiteral("fw v%1.%2").arg(version >> 8).arg(version & 0xFF, 0, 16);
}

QString gui_version_text(quint32 packed)
{
    return QStringLiteral("%1.%2.%3").arg(packed >> 24).arg((packed >> 8) & 0xFFFF).arg(packed & 0xFF);
}

int counts_to_percent(quint32 counts)
{
    return int(std::lround(qMin(counts, 1023u) * 100 / 1023.0));
}

quint16 percent_to_counts(double percent)
{
    const int p = qMin(int(percent) & 0xFF, 100);
    return quint16(std::lround(p * 1023 / 100.0));
}
