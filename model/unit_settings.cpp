#include "model/unit_settings.h"

#include "model/conv.h"
#include "model/rv8_vars.h"
#include "model/table_record.h"

#include <QFileInfo>

quint32 program_version_number()
{
    const QStringList parts = QStringLiteral(BRENNIX_VERSION).split(QLatin1Char('.'));
    return parts.value(0).toUInt() << 24 | (parts.value(1).toUInt() & 0xFFFF) << 8 | (parts.value(2).toUInt() & 0xFF);
}

QList<int_index> unit_settings::file_ints()
{
    QList<int_index> out{int_rpm_scaler, int_pump_prime_delay};
    for (int i = int_main_mode; i < int_last; ++i)
        out << int_index(i);
    return out;
}

QList<int_index> unit_settings::unit_ints()
{
    QList<int_index> out;
    for (int_index i : file_ints())
        if (i < int_variant || (i >= int_gpi1_act_delay && i <= int_gpi2_deact_delay))
            out << i;
    return out;
}

unit_settings::unit_settings()
{
    for (int i = 0; i < tbl_last; ++i)
        tables << QByteArray();
    for (int i = 0; i < int_last; ++i)
        ints << 0;
}

unit_settings::unit_settings(QList<QByteArray> t, QList<quint32> i) : unit_settings()
{
    for (int k = 0; k < qMin(t.size(), int(tbl_last)); ++k)
        tables[k] = t[k];
    for (int k = 0; k < qMin(i.size(), int(int_last)); ++k)
        ints[k] = i[k];
}

void unit_settings::calibrate(converter& conv) const
{
    conv.set_base_intercept(ints[int_base_intercept] / 1000.0);
    conv.set_base_atm(quint16(ints[int_base_atm]));
    conv.set_act_slope(ints[int_active_slope] / 1000.0);
    conv.set_act_intercept(ints[int_active_intercept] / 1000.0);
    conv.set_act_deadband(ints[int_active_deadband]);
}

void unit_settings::complete_for_file(quint16 fw_version, rv8_variant variant)
{
    converter conv;
    calibrate(conv);
    // The window's shared range fields start at 0..36 PSI and 0..4.7 V; each table then sets the
    // pair of its own load source from its first and last breakpoints.
    quint32 range[3][2] = {{conv.boost2adc(0), conv.boost2adc(36)}, {0, conv.volt2adc(4.7)}, {0, conv.volt2adc(4.7)}};
    for (int t = tbl_aux; t <= tbl_gpo2; ++t) {
        const table_record r(tables[t]);
        const int source = r.vertical_source() - 0xA1;
        if (!r.fault().isEmpty() || source < 0 || source > 2)
            continue;
        range[source][0] = r.vertical(table_record::rows - 1);
        range[source][1] = r.vertical(0);
    }
    ints[int_min_boost] = range[0][0];
    ints[int_max_boost] = range[0][1];
    ints[int_min_ana_input] = range[1][0];
    ints[int_max_ana_input] = range[1][1];
    ints[int_min_anb_input] = range[2][0];
    ints[int_max_anb_input] = range[2][1];
    ints[int_variant] = variant;
    ints[int_gui_version] = program_version_number();
    ints[int_fw_version] = fw_version;
}

bool unit_settings::save(const QString& path, QString* error) const
{
    rv8_vars vars(nullptr);
    for (int t = tbl_aux; t <= tbl_gpo2; ++t)
        vars.set(tables[t], table_index(t));
    for (int_index i : file_ints())
        vars.set(ints[i], i);
    // The model makes the text aside and puts it in place whole, as the window's Save does.
    QString reason;
    if (vars.vars_to_file(path, &reason))
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
    return false;
}

bool unit_settings::load(const QString& path, const unit_settings& base, unit_settings* out, QStringList* warnings,
                         QString* error)
{
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("%1 does not exist").arg(path);
        return false;
    }
    rv8_vars vars(nullptr);
    for (int t = 0; t < tbl_last; ++t)
        vars.set(base.tables[t], table_index(t));
    for (int i = 0; i < int_last; ++i)
        vars.set(base.ints[i], int_index(i));
    QList<QString> found;
    if (!vars.file_to_vars(path, found)) {
        *error = QStringLiteral("%1 is not a settings file").arg(path);
        return false;
    }
    QList<adc_trim> trims;
    QList<unsigned int> ints;
    vars.get(out->tables, ints, trims);
    out->ints = ints;
    *warnings = found;
    return true;
}

QStringList unit_settings::table_faults() const
{
    QStringList out;
    for (int t = tbl_aux; t <= tbl_gpo2; ++t) {
        const QString fault = table_record(tables[t]).fault();
        if (!fault.isEmpty())
            out << table_names[t] + QStringLiteral(": ") + fault;
    }
    return out;
}
