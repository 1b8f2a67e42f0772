#include "model/conv.h"

#include <QtDebug>

#include <cmath>

namespace {
struct boost_unit {
    double factor;
    const char* name;
    int decimals;
};

const boost_unit units[] = {
    {1.0, "PSI", 0},
    {0.0689475729, "Bar", 2},
    {6.89475729, "kPa", 2},
};

QVector<double> build_default_table()
{
    QVector<double> table(converter::adc_max + 1);
    for (int i = 0; i <= converter::adc_max; ++i)
        table[i] = std::round(i * 5.0 / converter::adc_max * 1e9) / 1e9;
    return table;
}

double lookup(const QVector<double>& table, quint16 counts)
{
    return table.at(qMin<int>(counts, converter::adc_max));
}
}

converter::converter()
    : ana_a(default_analog_table())
    , ana_b(default_analog_table())
{
}

const QVector<double>& converter::default_analog_table()
{
    static const QVector<double> table = build_default_table();
    return table;
}

quint16 converter::to_counts(double value)
{
    if (!(value > 0.0))
        return 0;
    if (value >= adc_max)
        return adc_max;
    return static_cast<quint16>(std::round(value));
}

quint16 converter::volt2adc(double volts)
{
    if (volts < 0) {
        qCritical() << "voltage is < 0: " << volts;
        return 0;
    }
    return to_counts(volts * counts_per_volt);
}

quint16 converter::current2adc(double amps)
{
    if (amps < 0) {
        qCritical() << "current is < 0: " << amps;
        return 0;
    }
    return to_counts(amps * counts_per_amp);
}

quint16 converter::boost2adc(double boost) const
{
    return to_counts(boost / boost_fac * active_slope + active_icept);
}

double converter::adc2boost(quint16 counts) const
{
    const int c = qMin<int>(counts, adc_max);
    return (c - active_icept) / active_slope * boost_fac;
}

quint16 converter::deadband2adc(double psi) const
{
    return to_counts(psi * active_slope);
}

int converter::adc2deadband(quint16 counts) const
{
    return static_cast<int>(std::round(counts / active_slope));
}

double converter::adc2ana_a(quint16 counts) const
{
    return lookup(ana_a, counts);
}

double converter::adc2ana_b(quint16 counts) const
{
    return lookup(ana_b, counts);
}

void converter::set_boost_units(int index)
{
    if (index < 0 || index > 2) {
        qCritical() << "invalid boost_units" << index;
        index = 0;
    }
    boost_fac = units[index].factor;
    boost_name = QString::fromLatin1(units[index].name);
    boost_dec = units[index].decimals;
}

void converter::set_act_slope(double slope)
{
    // Below a thousandth, the least a unit or a settings file can hold, counts / slope overflows.
    if (!(std::abs(slope) >= 0.001) || !std::isfinite(slope)) {
        qWarning() << "Active slope" << slope << "cannot convert boost, keeping" << active_slope;
        return;
    }
    active_slope = slope;
}

void converter::set_act_atm(double reading)
{
    // Truncation is what the unit does with its own readings; the limits only keep the cast defined.
    const double limited = std::isnan(reading) ? 0.0 : qBound(0.0, reading, 65535.0);
    active_atmos = static_cast<quint16>(limited);
    active_icept = active_atmos + (base_icept - base_atmos);
    emit act_intercept_recalc(active_icept);
}

bool converter::set_custom_ana(const QVector<double>& table)
{
    if (table.size() != adc_max + 1)
        return false;
    ana_a = table;
    return true;
}

bool converter::set_custom_anb(const QVector<double>& table)
{
    if (table.size() != adc_max + 1)
        return false;
    ana_b = table;
    return true;
}

void converter::set_custom_ana_defaults()
{
    ana_a = default_analog_table();
}

void converter::set_custom_anb_defaults()
{
    ana_b = default_analog_table();
}
