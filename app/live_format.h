#pragma once
// The Live Data read-outs of one sample in the three display formats, without a window, so the
// numbers a user reads can be checked by hand.

#include "live/rv8_frame.h"

#include <QString>
#include <array>

class converter;

namespace live_format {
enum format { physical = 0, raw_decimal = 1, raw_hex = 2 };

// In the order of `readout_names`.
enum readout {
    battery, map, an_a, an_b, aux_current, main_current, rpm,
    aux_duty, main_duty, gpo1_duty, gpo2_duty, gpi1, gpi2, aux_master, count
};
extern const std::array<const char*, count> readout_names;

std::array<QString, count> readouts(const rv8_frame& frame, int format, const converter& conv);

// Whole percent of a 10-bit duty, as the tables show it.
int duty_percent(quint16 counts);
// The MAP reading as boost in the current unit.
double boost(quint16 map_adc, const converter& conv);
}
