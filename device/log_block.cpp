#include "device/log_block.h"

#include "device/log_line_reader.h"

#include <cstring>

namespace {
bool starts_with(std::string_view line, std::string_view prefix)
{
    return line.substr(0, prefix.size()) == prefix;
}
}

void log_block::read(std::string_view all, const log_row_parser& parser)
{
    text.clear();
    others.clear();
    const char* p = all.data();
    const char* const end = p + all.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* stop = nl ? nl : end;
        const std::string_view line = log_line_reader::trimmed(p, stop);
        p = nl ? nl + 1 : end;
        if (line.empty() || line[0] == '#' || line[0] == '[' || starts_with(line, "timestamp"))
            others.push_back({line, rows()});
        else
            text.push_back(line);
    }
    const size_t n = text.size();
    ok.resize(n);
    stamps.resize(n);
    for (auto& column : values)
        column.resize(n);
    std::array<quint32, rv8_frame::value_count> row;
    for (size_t k = 0; k < n; ++k) {
        ok[k] = parser.parse(text[k], stamps[k], row);
        if (!ok[k])
            continue;
        for (size_t e = 0; e < row.size(); ++e)
            values[e][k] = row[e];
    }
}

std::array<const quint32*, rv8_frame::value_count> log_block::columns_from(int k) const
{
    std::array<const quint32*, rv8_frame::value_count> out;
    for (size_t e = 0; e < out.size(); ++e)
        out[e] = values[e].data() + k;
    return out;
}

void log_block::set_row(int k, const rv8_frame& frame)
{
    stamps[size_t(k)] = frame.timestamp;
    const auto row = frame.values();
    for (size_t e = 0; e < row.size(); ++e)
        values[e][size_t(k)] = row[e];
}
