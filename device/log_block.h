#pragma once
// A run of whole lines of a live-log file, sorted into data rows and the other lines (empty ones,
// comments, the column header, section heads), with the rows read in place. A parse reads the two
// halves of each run on two threads; what the lines mean in file order is the parse's business.

#include "device/log_row_parser.h"

#include <array>
#include <string_view>
#include <vector>

class log_block {
public:
    struct other {
        std::string_view line;
        int rows_before; // rows of the block that come before it
    };

    // Lines as log_line_reader::next hands them out; ok[k] is false for a row the fast path leaves.
    void read(std::string_view text, const log_row_parser& parser);
    int rows() const { return int(text.size()); }
    // Row k's values in column order.
    std::array<const quint32*, rv8_frame::value_count> columns_from(int k) const;
    void set_row(int k, const rv8_frame& frame);

    std::vector<std::string_view> text;
    std::vector<char> ok;
    std::vector<qint64> stamps;
    std::array<std::vector<quint32>, rv8_frame::value_count> values;
    std::vector<other> others;
};
