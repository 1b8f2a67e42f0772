#pragma once
// The four outputs as one description: every flow that treats MAIN, AUX, GPO1 and GPO2 alike
// loops over these rows instead of repeating itself four times.

#include "model/ids.h"

#include <array>

struct output_desc {
    const char* prefix;       // object names: <prefix>_table, <prefix>_control, ...
    table_index index;        // the unit's number for the output
    bool pump;                // MAIN and AUX drive pumps; GPO1 and GPO2 are general purpose
    const char* name;         // as captions read: "Main", "AUX", "GPO1", "GPO2"
    const char* tab_title;
};

namespace outputs {
// Position in `all` of each output, in the order the tabs stand.
enum position { main = 0, aux = 1, gpo1 = 2, gpo2 = 3, count = 4 };

// Tab order: MAIN, AUX, GPO1, GPO2.
extern const std::array<output_desc, count> all;
// The same outputs ordered by the unit's table_index: AUX, MAIN, GPO1, GPO2.
extern const std::array<position, count> by_table_index;

const output_desc& of(table_index index);
position position_of(table_index index);
}
