#include "model/write_rules.h"

#include "model/conv.h"
#include "model/param_units.h"
#include "model/table_record.h"
#include "model/write_group.h"

#include <cmath>
#include <optional>

namespace write_limits {
const write_limit pulses_per_rev{0.5, 64, 0.5, 1, 0.5, "pulses/rev"};
const write_limit max_engine_speed{1000, 20000, 500, 0, 500, "RPM"};
const write_limit boost_range{0, 400, 1, 0, 0, "PSI"};
const write_limit analog_range{0, 5, 0.1, 1, 0, "V"};
const write_limit under_current{0, 25, 1, 1, 0, "A"};
const write_limit time_delay{0, 10000, 100, 0, 0, "ms"};
const write_limit min_duty{0, 100, 5, 0, 0, "%"};
const write_limit override_duty{0, 100, 5, 0, 0, "%"};
const write_limit tick_delay{0, 10010, 13, 0, 13, "ms"};
const write_limit load_threshold_boost{-300, 300, 1, 1, 0, "PSI"};
const write_limit load_threshold_analog{0, 5, 1, 1, 0, "V"};
const write_limit speed_threshold{0, 30000, 100, 0, 0, "RPM"};
const write_limit map_slope{0.1, 99, 1, 3, 0, "counts/PSI"};
const write_limit map_intercept{0.1, 1023, 1, 3, 0, "counts"};
const write_limit map_atmosphere{1, 1023, 1, 0, 0, "counts"};
const write_limit map_deadband{1, 99, 1, 0, 0, "PSI"};

write_limit over_current(rv8_variant variant)
{
    return {0, variant == variant_rv8_sx ? 20.0 : 10.0, 1, 1, 0, "A"};
}
} // namespace write_limits

namespace {

using namespace write_limits;

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale + 0.0; // no "-0" in a message
}

QString value_text(double value, const write_limit& limit)
{
    return QString::number(value, 'f', limit.decimals) + QLatin1Char(' ') + QLatin1String(limit.unit);
}

// "at most 10010 ms", or what the caller names as the reason for the maximum.
QString reason(const write_limit& limit, double shown, const QString& max_reason)
{
    if (shown > limit.max)
        return max_reason.isEmpty() ? QStringLiteral("at most ") + value_text(limit.max, limit) : max_reason;
    if (shown < limit.min)
        return QStringLiteral("at least ") + value_text(limit.min, limit);
    return QStringLiteral("in steps of ") + value_text(limit.snap, limit);
}

// A stored number's meaning, for the numbers param_units shows clamped or cut to what a field holds.
double user_value(int_index i, quint32 raw, const converter& conv)
{
    switch (i) {
    case int_gpi1_request: case int_gpi2_request:
        return raw * 100.0 / 1023;
    case int_gpi1_act_delay: case int_gpi1_deact_delay: case int_gpi2_act_delay: case int_gpi2_deact_delay:
        return raw * 13.0;
    default:
        return param_unit_of(i).to_user(raw, conv);
    }
}

const struct {
    int_index index;
    const char* setting;
    const write_limit* limit;
} int_rules[] = {
    {int_rpm_scaler, "Pulses per revolution", &pulses_per_rev},
    {int_pump_prime_delay, "Pump priming delay", &tick_delay},
    {int_gpi1_request, "GPI1 override duty", &override_duty},
    {int_gpi2_request, "GPI2 override duty", &override_duty},
    {int_base_slope, "Factory MAP slope", &map_slope},
    {int_base_intercept, "Factory MAP intercept", &map_intercept},
    {int_base_atm, "Factory MAP atmosphere", &map_atmosphere},
    {int_active_slope, "Active MAP slope", &map_slope},
    {int_active_intercept, "Active MAP intercept", &map_intercept},
    {int_active_atm, "Active MAP atmosphere", &map_atmosphere},
    {int_active_deadband, "Active MAP deadband", &map_deadband},
    {int_gpi1_act_delay, "GPI1 activation delay", &tick_delay},
    {int_gpi1_deact_delay, "GPI1 deactivation delay", &tick_delay},
    {int_gpi2_act_delay, "GPI2 activation delay", &tick_delay},
    {int_gpi2_deact_delay, "GPI2 deactivation delay", &tick_delay},
};

const struct {
    int_index index;
    const char* setting;
} mode_rules[] = {
    {int_main_mode, "MAIN control"}, {int_aux_mode, "AUX control"}, {int_gpo1_mode, "GPO1 control"},
    {int_gpo2_mode, "GPO2 control"}, {int_gpi1_mode, "GPI1 control"}, {int_gpi2_mode, "GPI2 control"},
};

enum class field_kind { percent, amps, whole, ticks, load };

struct trailer_rule {
    int offset;
    int width;
    bool pump; // MAIN and AUX; the GPO tables carry the other set
    const char* setting;
    field_kind kind;
};

const trailer_rule trailer_rules[] = {
    {609, 2, true, "minimum duty", field_kind::percent},
    {613, 2, true, "under-current limit", field_kind::amps},
    {615, 2, true, "over-current limit", field_kind::amps},
    {617, 4, true, "time delay", field_kind::whole},
    {609, 2, false, "activation delay", field_kind::ticks},
    {611, 2, false, "deactivation delay", field_kind::ticks},
};

void calibrate(converter& conv, const QList<quint32>& ints)
{
    conv.set_act_slope(ints.value(int_active_slope) / 1000.0);
    conv.set_act_intercept(ints.value(int_active_intercept) / 1000.0);
}

void put_word(QByteArray& record, int offset, quint32 value)
{
    record[offset] = char((value >> 8) & 0xFF);
    record[offset + 1] = char(value & 0xFF);
}

bool is_boost(const table_record& r)
{
    return r.vertical_source() == vert_source_map;
}

// Corrects one unit's settings in place; each step reads what the steps before it left.
class settings_corrector {
public:
    settings_corrector(const QList<QByteArray>& tables, const QList<quint32>& ints, rv8_variant variant)
        : variant(variant)
    {
        out.tables = tables;
        out.ints = ints;
        while (out.ints.size() < int_last)
            out.ints << 0;
    }

    corrected_settings run()
    {
        for (const auto& r : int_rules)
            correct_int(r.index, r.setting, *r.limit);
        for (const auto& m : mode_rules)
            correct_mode_code(m.index, m.setting);
        keep_pump_prime_pairing();
        calibrate(conv, out.ints);
        for (int t = tbl_aux; t <= tbl_gpo2 && t < out.tables.size(); ++t)
            correct_table(table_index(t));
        return out;
    }

private:
    // The value a field would hold instead of value, if it would not hold value itself.
    static std::optional<double> fitted(const write_limit& limit, double value)
    {
        const double shown = rounded(value, limit.decimals);
        const double kept = write_rules::snap_value(limit, shown);
        const double scale = std::pow(10.0, limit.decimals);
        if (std::llround(kept * scale) == std::llround(shown * scale))
            return std::nullopt;
        return kept;
    }

    void note(int group, const QString& setting, const write_limit& limit, double value, double kept,
              const QString& max_reason = QString())
    {
        const double shown = rounded(value, limit.decimals);
        out.corrections.append({group, QStringLiteral("%1 %2 -> %3 (%4)")
                                           .arg(setting, value_text(shown, limit), value_text(kept, limit),
                                                reason(limit, shown, max_reason))});
    }

    void correct_int(int_index i, const char* setting, const write_limit& limit)
    {
        calibrate(conv, out.ints);
        const double value = user_value(i, out.ints[i], conv);
        const std::optional<double> kept = fitted(limit, value);
        if (!kept)
            return;
        out.ints[i] = param_unit_of(i).to_raw(*kept, conv);
        note(group_of(i), QLatin1String(setting), limit, value, *kept);
    }

    static int choices_of(int_index i)
    {
        int n = 0;
        while (param_unit_of(i).choices[n])
            ++n;
        return n;
    }

    // A mode the window knows goes out with its output's own code base; one it does not know is kept.
    void correct_mode_code(int_index i, const char* setting)
    {
        const quint32 raw = out.ints[i];
        const quint32 index = raw & 0x0F;
        const quint32 code = param_unit_of(i).to_raw(index, conv);
        if (int(index) >= choices_of(i) || code == raw)
            return;
        out.ints[i] = code;
        out.corrections.append({g_io_modes, QStringLiteral("%1 code 0x%2 -> 0x%3 (%4)")
                                                .arg(QLatin1String(setting))
                                                .arg(raw, 2, 16, QLatin1Char('0'))
                                                .arg(code, 2, 16, QLatin1Char('0'))
                                                .arg(QLatin1String(param_unit_of(i).choices[index]))});
    }

    // MAIN primes its pump only together with AUX.
    void keep_pump_prime_pairing()
    {
        const char* const* names = param_unit_of(int_main_mode).choices;
        if ((out.ints[int_main_mode] & 0x0F) != 2 || (out.ints[int_aux_mode] & 0x0F) == 2)
            return;
        out.ints[int_main_mode] = param_unit_of(int_main_mode).to_raw(1, conv);
        out.corrections.append({g_io_modes, QStringLiteral("MAIN control %1 -> %2 (only with AUX control on %1)")
                                                .arg(QLatin1String(names[2]), QLatin1String(names[1]))});
    }

    void correct_table(table_index t)
    {
        QByteArray& bytes = out.tables[t];
        if (!table_record(bytes).fault().isEmpty())
            return;
        const QString name = table_names[t].section(QLatin1Char(' '), 0, 0) + QLatin1Char(' ');
        correct_load_source(t, name);
        if (table_record(bytes).has_trailer()) {
            for (const trailer_rule& r : trailer_rules)
                if (r.pump == (t == tbl_aux || t == tbl_main))
                    correct_trailer_field(t, name, r);
            correct_thresholds(t, name);
        }
        bytes[table_record::size - 1] = char(table_record::checksum_of(bytes.left(table_record::size - 1)));
        check_axes(table_record(bytes), table_names[t]);
    }

    // The window knows MAP and the two analog inputs; any other code it reads, and so writes, as MAP.
    void correct_load_source(table_index t, const QString& name)
    {
        const quint8 code = table_record(out.tables[t]).vertical_source();
        if (code >= vert_source_map && code <= vert_source_analog_b)
            return;
        out.tables[t][638] = char(vert_source_map);
        out.corrections.append({t, QStringLiteral("%1load source code 0x%2 -> 0x%3 (MAP Sensor, Analog Input A or B)")
                                       .arg(name)
                                       .arg(code, 2, 16, QLatin1Char('0'))
                                       .arg(int(vert_source_map), 2, 16, QLatin1Char('0'))});
    }

    double field_value(const table_record& r, const trailer_rule& f) const
    {
        const quint32 word = f.width == 4 ? quint32(r.word(f.offset)) << 16 | r.word(f.offset + 2) : r.word(f.offset);
        switch (f.kind) {
        case field_kind::percent: return word * 100.0 / 1023;
        case field_kind::amps: return converter::adc2amps(word & 0x3FF);
        case field_kind::ticks: return word * 13.0;
        case field_kind::load: return is_boost(r) ? conv.adc2boost(word & 0x3FF) : converter::adc2volt(word & 0x3FF);
        case field_kind::whole: break;
        }
        return word;
    }

    quint32 field_raw(const table_record& r, field_kind kind, double value)
    {
        switch (kind) {
        case field_kind::percent: return percent_to_counts(value);
        case field_kind::amps: return conv.current2adc(value);
        case field_kind::ticks: return quint32(std::lround(value / 13));
        case field_kind::load: return is_boost(r) ? conv.boost2adc(value) : conv.volt2adc(value);
        case field_kind::whole: break;
        }
        return quint32(std::llround(value));
    }

    write_limit limit_of(const table_record& r, const trailer_rule& f) const
    {
        if (f.offset == 613)
            return under_current;
        if (f.offset == 615)
            return over_current(variant);
        if (f.offset == 617)
            return time_delay;
        if (f.kind == field_kind::load)
            return is_boost(r) ? load_threshold_boost : load_threshold_analog;
        if (f.kind == field_kind::whole)
            return speed_threshold;
        return f.kind == field_kind::percent ? min_duty : tick_delay;
    }

    void correct_trailer_field(table_index t, const QString& name, const trailer_rule& f)
    {
        QByteArray& bytes = out.tables[t];
        const table_record r(bytes);
        const write_limit limit = limit_of(r, f);
        const double value = field_value(r, f);
        const std::optional<double> kept = fitted(limit, value);
        if (!kept)
            return;
        const quint32 raw = field_raw(r, f.kind, *kept);
        if (f.width == 4)
            put_word(bytes, f.offset, raw >> 16);
        put_word(bytes, f.offset + f.width - 2, raw & 0xFFFF);
        const QString why = f.offset == 615 && value > limit.max
                                ? QStringLiteral("an %1 allows at most %2")
                                      .arg(variant == variant_rv8_sx ? QStringLiteral("RV8-SX") : QStringLiteral("RV8-S"),
                                           value_text(limit.max, limit))
                                : QString();
        note(t, name + QLatin1String(f.setting), limit, value, *kept, why);
    }

    void correct_thresholds(table_index t, const QString& name)
    {
        correct_trailer_field(t, name, {630, 2, false, "load threshold", field_kind::load});
        correct_trailer_field(t, name, {632, 2, false, "engine speed threshold", field_kind::whole});
    }

    // The window draws a table's axes from its range fields: ends those fields cannot hold would
    // come back as another axis, which is more than a correction.
    void check_axes(const table_record& r, const QString& table)
    {
        const int top_speed = r.horizontal(table_record::columns - 1);
        if (top_speed < max_engine_speed.min || top_speed > max_engine_speed.max || top_speed % 500 != 0)
            out.refusals << QStringLiteral("%1: engine speed axis ends at %2 RPM; the window takes 1000 to 20000 RPM in "
                                           "steps of 500 and would draw the axis anew")
                                .arg(table)
                                .arg(top_speed);
        check_load_axis(r, table);
    }

    void check_load_axis(const table_record& r, const QString& table)
    {
        const bool boost = is_boost(r);
        const write_limit& range = boost ? boost_range : analog_range;
        const double gap = boost ? boost_gap : analog_gap;
        auto load = [&](int row) {
            const quint16 counts = r.vertical(row);
            return rounded(boost ? conv.adc2boost(counts) : converter::adc2volt(counts), range.decimals);
        };
        const double low = load(table_record::rows - 1), high = load(0);
        const double scale = std::pow(10.0, range.decimals);
        if (low >= range.min && high <= range.max && std::llround((high - low) * scale) >= std::llround(gap * scale))
            return;
        out.refusals << QStringLiteral("%1: load axis %2 to %3; the window takes %4 ranges of %5 to %6 at least %7 apart "
                                       "and would draw the axis anew")
                            .arg(table, value_text(low, range), value_text(high, range),
                                 boost ? QStringLiteral("boost") : QStringLiteral("analog"), value_text(range.min, range),
                                 value_text(range.max, range), value_text(gap, range));
    }

    rv8_variant variant;
    converter conv;
    corrected_settings out;
};

} // namespace

namespace write_rules {

double snap_value(const write_limit& limit, double value)
{
    double v = qBound(limit.min, rounded(value, limit.decimals), limit.max);
    if (limit.snap > 0)
        v = qMin(std::ceil(v / limit.snap - 1e-9) * limit.snap, limit.max);
    return v;
}

void keep_apart(const write_limit& limit, double gap, bool min_changed, double* min, double* max)
{
    const double scale = std::pow(10.0, limit.decimals);
    auto too_close = [&] { return std::llround(*max * scale) - std::llround(*min * scale) < std::llround(gap * scale); };
    if (min_changed && too_close())
        *min = snap_value(limit, *max - gap);
    if (too_close())
        *max = snap_value(limit, *min + gap);
}

QString firmware_warning(quint16 version)
{
    if (version == 0 || version >= write_limits::min_firmware)
        return {};
    return QStringLiteral("Incompatible firmware detected, need >= 0x%1, have 0x%2")
        .arg(write_limits::min_firmware, 0, 16)
        .arg(version, 0, 16);
}

corrected_settings correct_for_write(const QList<QByteArray>& tables, const QList<quint32>& ints, rv8_variant variant)
{
    return settings_corrector(tables, ints, variant).run();
}

} // namespace write_rules
