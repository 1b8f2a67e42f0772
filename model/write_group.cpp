#include "model/write_group.h"

int group_of(int_index i)
{
    if (i == int_rpm_scaler)
        return g_rpm_scaler;
    if (i == int_pump_prime_delay)
        return g_pump_prime;
    if ((i >= int_main_mode && i <= int_gpi2_request) || (i >= int_gpi1_act_delay && i <= int_gpi2_deact_delay))
        return g_io_modes;
    if (i >= int_base_slope && i <= int_base_atm)
        return g_base_map_cal;
    if (i >= int_active_slope && i <= int_active_deadband)
        return g_active_map_cal;
    return -1;
}

QList<int_index> group_members(int group)
{
    QList<int_index> out;
    for (int i = 0; i < int_last; ++i)
        if (group_of(int_index(i)) == group)
            out << int_index(i);
    return out;
}

QString group_name(int group)
{
    switch (group) {
    case g_aux_table: case g_main_table: case g_gpo1_table: case g_gpo2_table:
        return table_names.value(group);
    case g_rpm_scaler: return QStringLiteral("RPM scaler");
    case g_pump_prime: return QStringLiteral("pump prime delay");
    case g_io_modes: return QStringLiteral("IO modes");
    case g_base_map_cal: return QStringLiteral("factory MAP calibration");
    case g_active_map_cal: return QStringLiteral("active MAP calibration");
    default: return QStringLiteral("group %1").arg(group);
    }
}

QStringList group_names(const QList<int>& groups)
{
    QStringList names;
    for (int g : groups)
        names << group_name(g);
    return names;
}
