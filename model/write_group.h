#pragma once
// The messages a write sends, one per group of settings, in the fixed order every write uses:
// the four duty tables by table_index, then the integer blocks.

#include "model/ids.h"

#include <QList>
#include <QString>
#include <QStringList>

enum write_group : int {
    g_aux_table = tbl_aux,
    g_main_table = tbl_main,
    g_gpo1_table = tbl_gpo1,
    g_gpo2_table = tbl_gpo2,
    g_rpm_scaler,
    g_pump_prime,
    g_io_modes,
    g_base_map_cal,
    g_active_map_cal,
    g_count
};

// The group whose message carries integer i, or -1 for one that never goes to the unit.
int group_of(int_index i);
// The integers a group's message carries, in int_index order; empty for a table.
QList<int_index> group_members(int group);
// "MAIN duty table", "IO modes", as messages to a user name them.
QString group_name(int group);
QStringList group_names(const QList<int>& groups);

