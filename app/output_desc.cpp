#include "app/output_desc.h"

namespace outputs {
const std::array<output_desc, count> all = {{
    {"main", tbl_main, true, "Main", "Main Table"},
    {"aux", tbl_aux, true, "AUX", "AUX Table"},
    {"gpo1", tbl_gpo1, false, "GPO1", "GPO1 Table"},
    {"gpo2", tbl_gpo2, false, "GPO2", "GPO2 Table"},
}};

const std::array<position, count> by_table_index = {{aux, main, gpo1, gpo2}};

position position_of(table_index index)
{
    return by_table_index.at(size_t(index));
}

const output_desc& of(table_index index)
{
    return all[position_of(index)];
}
}
