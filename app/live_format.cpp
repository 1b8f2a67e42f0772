#include "app/live_format.h"

#include "model/conv.h"

#include <cmath>

namespace live_format {
const std::array<const char*, count> readout_names = {
    "live_battery_voltage", "live_map", "live_an_a_voltage", "live_an_b_voltage", "live_aux_current",
    "live_main_current", "live_rpm", "live_aux_duty", "live_main_duty", "live_gpo1_duty", "live_gpo2_duty",
    "live_gpi1_state", "live_gpi2_state", "live_aux_master"};

namespace {
quint16 limited(quint16 counts)
{
    return qMin<quint16>(counts, converter::adc_max);
}

QString one_decimal(double v)
{
    return QString::number(v, 'f', 1);
}

QString hex(quint32 v, int digits)
{
    return QStringLiteral("0x%1").arg(v, digits, 16, QLatin1Char('0'));
}

QString master_name(quint8 code)
{
    switch (code) {
    case 9:
        return QStringLiteral("RV8 PWM");
    case 5:
        return QStringLiteral("K447 PWM");
    default:
        return QStringLiteral("Unknown");
    }
}

std::array<quint32, count> raw_values(const rv8_frame& f)
{
    return {f.batt_adc, f.map_adc, f.an1_adc, f.an2_adc, f.aux_current, f.main_current, f.rpm, f.aux_duty,
            f.main_duty, f.gpo1_duty, f.gpo2_duty, f.gpi1_state, f.gpi2_state, f.aux_master};
}
}

int duty_percent(quint16 counts)
{
    return int(std::lround(limited(counts) * 100.0 / converter::adc_max));
}

double boost(quint16 map_adc, const converter& conv)
{
    return conv.adc2boost(limited(map_adc));
}

std::array<QString, count> readouts(const rv8_frame& f, int format, const converter& conv)
{
    std::array<QString, count> out;
    const std::array<quint32, count> raw = raw_values(f);
    if (format == raw_decimal || format == raw_hex) {
        for (int i = 0; i < count; ++i) {
            const bool state = i == gpi1 || i == gpi2;
            const int digits = i == rpm ? 4 : i == aux_master ? 2 : 3;
            out[i] = format == raw_hex && !state ? hex(raw[i], digits) : QString::number(raw[i]);
        }
        return out;
    }
    out[battery] = one_decimal(converter::adc2battery(limited(f.batt_adc)));
    const double b = boost(f.map_adc, conv);
    out[map] = b <= 0 ? QStringLiteral("VAC") : one_decimal(b);
    out[an_a] = one_decimal(conv.adc2ana_a(limited(f.an1_adc)));
    out[an_b] = one_decimal(conv.adc2ana_b(limited(f.an2_adc)));
    out[aux_current] = one_decimal(converter::adc2amps(limited(f.aux_current)));
    out[main_current] = one_decimal(converter::adc2amps(limited(f.main_current)));
    out[rpm] = QString::number(f.rpm);
    for (int i : {aux_duty, main_duty, gpo1_duty, gpo2_duty})
        out[i] = QString::number(duty_percent(quint16(raw[i])));
    out[gpi1] = f.gpi1_state ? QStringLiteral("High") : QStringLiteral("Low");
    out[gpi2] = f.gpi2_state ? QStringLiteral("High") : QStringLiteral("Low");
    out[aux_master] = master_name(f.aux_master);
    return out;
}
}
