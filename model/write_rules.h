#pragma once
// What a unit may be given: each setting's range, the steps some of them snap to, the current an
// output of each variant may be set to, the control modes that go together and the firmware a
// write expects. The window's fields take their ranges from here and brennix-cli corrects a file
// with the same rules, so a file one of them accepts the other accepts with the same corrections.

#include "model/ids.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One setting as a user types it.
struct write_limit {
    double min;
    double max;
    double step;     // what one arrow press adds
    int decimals;
    double snap;     // a value off this grid moves up to its next multiple; 0: any value in range
    const char* unit;
};

namespace write_limits {
extern const write_limit pulses_per_rev;
extern const write_limit max_engine_speed;
extern const write_limit boost_range;        // PSI
extern const write_limit analog_range;
extern const write_limit under_current;
extern const write_limit time_delay;         // MAIN and AUX
extern const write_limit min_duty;
extern const write_limit override_duty;      // a GPI's request
extern const write_limit tick_delay;         // pump priming, GPI and GPO delays: the unit counts 13 ms ticks
extern const write_limit load_threshold_boost;   // PSI
extern const write_limit load_threshold_analog;
extern const write_limit speed_threshold;
extern const write_limit map_slope;
extern const write_limit map_intercept;
extern const write_limit map_atmosphere;
extern const write_limit map_deadband;       // PSI
constexpr double boost_gap = 5;              // PSI between the ends of a boost range
constexpr double analog_gap = 0.5;           // V between the ends of an analog range
constexpr quint16 min_firmware = 0x0167;

// 0 to 20 A on an RV8-SX, 0 to 10 A on an RV8-S.
write_limit over_current(rv8_variant variant);
}

// A value the rules changed, and why.
struct write_correction {
    int group;     // the write_group whose message carries the setting
    QString text;  // "MAIN over-current limit 20.0 A -> 10.0 A (an RV8-S allows at most 10.0 A)"
};

struct corrected_settings {
    QList<QByteArray> tables;
    QList<quint32> ints;
    QList<write_correction> corrections;
    // Tables whose axes the window would draw anew from its range fields, one text each: "GPO2 duty
    // table: load axis 2.0 V to 2.2 V; the window takes analog ranges of 0.0 V to 5.0 V at least 0.5 V
    // apart and would draw the axis anew". Nothing in them is changed.
    QStringList refusals;
};

namespace write_rules {

// The value a field keeps: rounded to its decimals, held in its range, moved up onto its snap grid.
double snap_value(const write_limit& limit, double value);
// Moves the other end of a range when the two ends come closer than gap; min_changed says which
// end the user moved, and that end gives way first, as the window's range pairs do.
void keep_apart(const write_limit& limit, double gap, bool min_changed, double* min, double* max);

// "Incompatible firmware detected, need >= 0x167, have 0x166"; empty for current firmware and for
// the bootloader (0).
QString firmware_warning(quint16 version);

// A unit's worth of settings (tables by table_index as 640-byte records, ints by int_index, stored
// numbers) made fit to write to a unit of the variant. Values the window's fields would change are
// changed the same way, one correction each; damaged tables and tables without a trailer are left
// as they are. Boost is read with the active MAP calibration of ints.
corrected_settings correct_for_write(const QList<QByteArray>& tables, const QList<quint32>& ints, rv8_variant variant);

} // namespace write_rules
