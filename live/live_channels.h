#pragma once
// The live values a user reads (engine speed, MAP, inputs, duties, currents, GPI states), each by
// the key the command line knows it by, and their values in user units from a frame.

#include "live/rv8_frame.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

class converter;

namespace live_channels {
enum id { rpm, map, an_a, an_b, battery, main_duty, aux_duty, gpo1_duty, gpo2_duty, main_current, aux_current, gpi1,
          gpi2, count };

struct channel {
    const char* key;  // "rpm", "map", ... as conditions and exports name it
    const char* name; // "Engine speed", as the window shows it
    int column;       // rv8_log::e_data of its raw value
};

const std::array<channel, count>& all();
// The channel of a key, case-insensitively; -1 when there is none.
int find(const QString& key);
QStringList keys();
}

// Raw values into user units with the conversions of one moment (boost unit, MAP calibration,
// analog tables), copied so that any thread can use them while the window's converter changes.
class channel_scale {
public:
    // PSI with the factory MAP calibration, analog inputs in volts.
    channel_scale();
    explicit channel_scale(const converter& conv, const QString& an_a_unit = QStringLiteral("V"),
                           const QString& an_b_unit = QStringLiteral("V"));

    double value(int channel, quint32 raw) const;
    double value(int channel, const rv8_frame& frame) const;
    QString unit(int channel) const;
    int decimals(int channel) const;
    // "Engine speed (RPM)", "GPI1 state"
    QString caption(int channel) const;
    QString format(int channel, double value) const;

private:
    void take(const converter& conv);

    std::vector<double> map_table, an_a_table, an_b_table;
    QString boost_unit, a_unit, b_unit;
    int boost_decimals = 1;
};
