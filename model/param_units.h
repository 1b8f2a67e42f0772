#pragma once
// Every integer parameter in the units a user reads and types, with the conversion from the raw
// number the unit stores and back. One table, so that the window's fields and the command line
// cannot come to disagree about what a stored number means.

#include "model/ids.h"

#include <QString>

class converter;

struct param_unit {
    int_index index;
    const char* unit;     // empty when the number has no unit; ignored for boost
    int decimals;
    bool boost;           // shown in the converter's boost unit
    double (*to_user)(quint32 raw, const converter& conv);
    quint32 (*to_raw)(double value, converter& conv);
    const char* const* choices; // selector entries when the number picks one, else null
};

// The row of int_index i; rows exist for every member but int_last.
const param_unit& param_unit_of(int_index i);

// "494 ms", "3 PSI", "Duty table (1)", "16.122 counts/PSI".
QString format_param(int_index i, quint32 raw, const converter& conv);

// As the window's connection status writes it: "fw v2.1" for 0x0201, "bootloader" for 0.
QString fw_version_text(quint16 version);
// The program version packed into a settings file's "Brennix Version": "2.11.0".
QString gui_version_text(quint32 packed);

// Counts of a 10-bit duty or request and whole percent, as the window rounds them.
int counts_to_percent(quint32 counts);
quint16 percent_to_counts(double percent);
