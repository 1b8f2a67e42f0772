#pragma once

#include "live/rv8_frame.h"

#include <array>
#include <string_view>

// Turns a data row of a live-log file into a sample. Rows as the program writes them (decimal
// digits and commas) are read in place without building any string; anything else goes the
// lenient way of rv8_frame's own row reading, which also reports a bad row.
class log_row_parser {
public:
    log_row_parser();

    rv8_frame frame(std::string_view row) const;
    // The fast path alone; false when the row is not plain digits and commas.
    bool parse(std::string_view row, qint64& timestamp, std::array<quint32, rv8_frame::value_count>& values) const;

private:
    // Each column keeps the low bits that fit its field, as a frame does.
    std::array<quint32, rv8_frame::value_count> masks;
};
