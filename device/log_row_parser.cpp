#include "device/log_row_parser.h"

#include <QString>

#include <charconv>

log_row_parser::log_row_parser()
{
    rv8_frame widest;
    for (int e = 0; e < rv8_frame::value_count; ++e) {
        widest.set_value(e, 0xFFFFFFFFu);
        masks[size_t(e)] = widest.value(e);
    }
}

bool log_row_parser::parse(std::string_view row, qint64& timestamp,
                           std::array<quint32, rv8_frame::value_count>& values) const
{
    const char* p = row.data();
    const char* const last = p + row.size();
    std::from_chars_result r = std::from_chars(p, last, timestamp);
    if (r.ec != std::errc() || r.ptr == last || *r.ptr != ',')
        return false;
    p = r.ptr + 1;
    for (int e = 0; e < rv8_frame::value_count; ++e) {
        unsigned long long v = 0;
        r = std::from_chars(p, last, v);
        if (r.ec != std::errc())
            return false;
        // Fields beyond the last column are ignored, whatever they hold.
        const bool more = e + 1 < rv8_frame::value_count;
        if (r.ptr == last ? more : *r.ptr != ',')
            return false;
        values[size_t(e)] = quint32(v) & masks[size_t(e)];
        if (more)
            p = r.ptr + 1;
    }
    return true;
}

rv8_frame log_row_parser::frame(std::string_view row) const
{
    qint64 timestamp = 0;
    std::array<quint32, rv8_frame::value_count> values;
    if (parse(row, timestamp, values))
        return rv8_frame(timestamp, values);
    return rv8_frame(QString::fromLocal8Bit(row.data(), int(row.size())));
}
