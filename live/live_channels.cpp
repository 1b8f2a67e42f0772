#include "live/live_channels.h"

#include "live/rv8_log.h"
#include "model/conv.h"

namespace live_channels {

const std::array<channel, count>& all()
{
    static const std::array<channel, count> channels = {{
        {"rpm", "Engine speed", rv8_log::e_rpm},
        {"map", "MAP", rv8_log::e_map_adc},
        {"an_a", "AN A input", rv8_log::e_an1_adc},
        {"an_b", "AN B input", rv8_log::e_an2_adc},
        {"battery", "Battery", rv8_log::e_batt_adc},
        {"main_duty", "Main duty", rv8_log::e_main_duty},
        {"aux_duty", "Aux duty", rv8_log::e_aux_duty},
        {"gpo1_duty", "GPO1 duty", rv8_log::e_gpo1_duty},
        {"gpo2_duty", "GPO2 duty", rv8_log::e_gpo2_duty},
        {"main_current", "Main current", rv8_log::e_main_current},
        {"aux_current", "Aux current", rv8_log::e_aux_current},
        {"gpi1", "GPI1 state", rv8_log::e_gpi1_state},
        {"gpi2", "GPI2 state", rv8_log::e_gpi2_state},
    }};
    return channels;
}

int find(const QString& key)
{
    for (int i = 0; i < count; ++i)
        if (key.compare(QLatin1String(all()[size_t(i)].key), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList keys()
{
    QStringList out;
    for (const channel& c : all())
        out << QLatin1String(c.key);
    return out;
}

} // namespace live_channels

namespace {
quint32 limited(quint32 raw)
{
    return qMin<quint32>(raw, converter::adc_max);
}
}

channel_scale::channel_scale()
{
    const converter factory;
    take(factory);
}

channel_scale::channel_scale(const converter& conv, const QString& an_a_unit, const QString& an_b_unit)
    : a_unit(an_a_unit), b_unit(an_b_unit)
{
    take(conv);
}

void channel_scale::take(const converter& conv)
{
    map_table.resize(converter::adc_max + 1);
    for (int c = 0; c <= converter::adc_max; ++c)
        map_table[size_t(c)] = conv.adc2boost(quint16(c));
    an_a_table.assign(conv.custom_ana().begin(), conv.custom_ana().end());
    an_b_table.assign(conv.custom_anb().begin(), conv.custom_anb().end());
    boost_unit = conv.boost_unit_name();
    // PSI is shown whole in the settings; a reading wants a tenth.
    boost_decimals = qMax(1, conv.boost_decimals());
    if (a_unit.isEmpty())
        a_unit = QStringLiteral("V");
    if (b_unit.isEmpty())
        b_unit = QStringLiteral("V");
}

double channel_scale::value(int channel, quint32 raw) const
{
    using namespace live_channels;
    switch (channel) {
    case rpm:
        return raw;
    case map:
        return map_table[limited(raw)];
    case an_a:
        return an_a_table.size() > limited(raw) ? an_a_table[limited(raw)] : 0.0;
    case an_b:
        return an_b_table.size() > limited(raw) ? an_b_table[limited(raw)] : 0.0;
    case battery:
        return converter::adc2battery(limited(raw));
    case main_duty:
    case aux_duty:
    case gpo1_duty:
    case gpo2_duty:
        return limited(raw) * 100.0 / converter::adc_max;
    case main_current:
    case aux_current:
        return converter::adc2amps(limited(raw));
    case gpi1:
    case gpi2:
        return raw ? 1.0 : 0.0;
    default:
        return 0.0;
    }
}

double channel_scale::value(int channel, const rv8_frame& frame) const
{
    if (channel < 0 || channel >= live_channels::count)
        return 0.0;
    return value(channel, frame.value(live_channels::all()[size_t(channel)].column));
}

QString channel_scale::unit(int channel) const
{
    using namespace live_channels;
    switch (channel) {
    case rpm:
        return QStringLiteral("RPM");
    case map:
        return boost_unit;
    case an_a:
        return a_unit;
    case an_b:
        return b_unit;
    case battery:
        return QStringLiteral("V");
    case main_duty:
    case aux_duty:
    case gpo1_duty:
    case gpo2_duty:
        return QStringLiteral("%");
    case main_current:
    case aux_current:
        return QStringLiteral("A");
    default:
        return QString();
    }
}

int channel_scale::decimals(int channel) const
{
    using namespace live_channels;
    switch (channel) {
    case rpm:
    case gpi1:
    case gpi2:
        return 0;
    case map:
        return boost_decimals;
    case an_a:
    case an_b:
        return 2;
    default:
        return 1;
    }
}

QString channel_scale::caption(int channel) const
{
    if (channel < 0 || channel >= live_channels::count)
        return QString();
    const QString name = QLatin1String(live_channels::all()[size_t(channel)].name);
    const QString u = unit(channel);
    return u.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, u);
}

QString channel_scale::format(int channel, double value) const
{
    return QString::number(value, 'f', decimals(channel));
}
