#pragma once
// Identifiers of a unit's settings and their display names. The names double as keys in settings
// files, so every character of them is part of the file format.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QStringList>

enum table_index {
    tbl_aux,
    tbl_main,
    tbl_gpo1,
    tbl_gpo2,
    tbl_wide_band,
    tbl_afr,
    tbl_last
};

enum int_index {
    int_rpm_scaler,
    int_pump_prime_delay,
    int_boost_step,
    int_battery_value,
    int_map_value,
    int_wide_band_value,
    int_aux_current,
    int_main_current,
    int_spare_adc,
    int_main_pulse_width,
    int_pid_parameters,
    int_gpi1_state,
    int_gpi2_state,
    int_main_mode,
    int_aux_mode,
    int_gpo1_mode,
    int_gpo2_mode,
    int_gpi1_mode,
    int_gpi1_request,
    int_gpi2_mode,
    int_gpi2_request,
    int_base_slope,
    int_base_intercept,
    int_base_atm,
    int_active_slope,
    int_active_intercept,
    int_active_atm,
    int_active_deadband,
    int_variant,
    int_min_boost,
    int_max_boost,
    int_min_ana_input,
    int_max_ana_input,
    int_min_anb_input,
    int_max_anb_input,
    int_gpi1_act_delay,
    int_gpi1_deact_delay,
    int_gpi2_act_delay,
    int_gpi2_deact_delay,
    int_gui_version,
    int_fw_version,
    int_last
};

enum adc_trim_index {
    trim_battery,
    trim_map,
    trim_aux_current,
    trim_main_current,
    trim_wide_band_current,
    trim_spare,
    trim_last
};

// One entry per member including the terminal "LAST"; entry i names member i.
extern const QStringList table_names;
extern const QStringList int_names;
extern const QStringList trim_names;

struct adc_trim {
    bool pol = true;
    quint16 value = 0;
};

inline bool operator==(const adc_trim& a, const adc_trim& b)
{
    return a.pol == b.pol && a.value == b.value;
}

enum rv8_variant {
    variant_rv8_sx = 0,
    variant_rv8_s = 1
};

// Codes of a duty table's load-axis source. Index 3 has no selector entry but is a valid code.
enum : quint8 {
    vert_source_map = 0xA1,
    vert_source_analog_a = 0xA2,
    vert_source_analog_b = 0xA3,
    vert_source_spare = 0xA4
};

// Out-of-range input is logged and answered with 0 (encode) or the MAP entry (decode).
quint8 encode_vertical_source(int index);
int decode_vertical_source(quint8 code);

// Boost units, by the index of the unit selector.
enum : int {
    boost_psi = 0,
    boost_bar = 1,
    boost_kpa = 2,
    boost_unit_count = 3
};

struct boost_unit {
    const char* name;
    double factor;  // units per PSI
    int decimals;
    double step;
};

extern const boost_unit boost_units_table[boost_unit_count];

Q_DECLARE_METATYPE(table_index)
Q_DECLARE_METATYPE(int_index)
Q_DECLARE_METATYPE(adc_trim_index)
Q_DECLARE_METATYPE(adc_trim)
Q_DECLARE_METATYPE(rv8_variant)
Q_DECLARE_METATYPE(QList<adc_trim>)

// Registers every type above, and the lists that carry settings between threads, under the names
// that queued connections look up. Safe to call more than once.
void register_model_meta_types();
