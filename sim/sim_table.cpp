#include "sim/sim_table.h"

#include <algorithm>
#include <cmath>

QByteArray sim_table::build(const quint16 (&vert_counts)[16], const quint16 (&horz_rpm)[16],
                            const duty_rule& duty, quint8 source_code)
{
    QByteArray r(size, '\0');
    for (int load = 0; load < 16; ++load)
        for (int rpm = 0; rpm < 16; ++rpm) {
            const int percent = std::clamp(duty(load, rpm), 0, 100);
            put_be16(r, (load * 16 + rpm) * 2, quint16(std::lround(percent * 1023 / 100.0)));
        }
    for (int i = 0; i < 16; ++i) {
        put_be16(r, vert_axis_offset + 2 * i, vert_counts[i] & 0x3FF);
        put_be16(r, horz_axis_offset + 2 * i, horz_rpm[i]);
    }
    r[marker_offset] = char(marker);
    r[source_offset] = char(source_code);
    seal(r);
    return r;
}

quint8 sim_table::checksum(const QByteArray& record)
{
    quint8 x = 0;
    for (int i = 0; i < checksum_offset && i < record.size(); ++i)
        x ^= quint8(record[i]);
    return x;
}

void sim_table::seal(QByteArray& record)
{
    if (record.size() == size)
        record[checksum_offset] = char(checksum(record));
}

quint16 sim_table::be16(const QByteArray& bytes, int offset)
{
    return quint16(quint8(bytes[offset]) << 8 | quint8(bytes[offset + 1]));
}

void sim_table::put_be16(QByteArray& bytes, int offset, quint16 value)
{
    bytes[offset] = char(value >> 8);
    bytes[offset + 1] = char(value & 0xFF);
}

quint16 sim_table::cell(const QByteArray& record, int load_index, int rpm_index)
{
    return be16(record, cells_offset + (load_index * 16 + rpm_index) * 2) & 0x3FF;
}

quint16 sim_table::vert(const QByteArray& record, int load_index)
{
    return be16(record, vert_axis_offset + 2 * load_index) & 0x3FF;
}

quint16 sim_table::horz(const QByteArray& record, int rpm_index)
{
    return be16(record, horz_axis_offset + 2 * rpm_index);
}

// Fractional index of value on an axis; axes written by hand need not be strictly rising, so equal
// or falling neighbours simply pin the position to the lower breakpoint.
double sim_table::position(double value, const quint16 (&axis)[16])
{
    if (value <= axis[0])
        return 0.0;
    for (int i = 0; i < 15; ++i) {
        if (value < axis[i + 1]) {
            const double span = double(axis[i + 1]) - axis[i];
            return span > 0 ? i + (value - axis[i]) / span : i;
        }
    }
    return 15.0;
}

double sim_table::duty_at(const QByteArray& record, double rpm, double load)
{
    if (record.size() != size)
        return 0.0;
    quint16 v[16], h[16];
    for (int i = 0; i < 16; ++i) {
        v[i] = vert(record, i);
        h[i] = horz(record, i);
    }
    const double y = position(load, v), x = position(rpm, h);
    const int y0 = int(y), x0 = int(x);
    const int y1 = std::min(y0 + 1, 15), x1 = std::min(x0 + 1, 15);
    const double fy = y - y0, fx = x - x0;
    const double low = cell(record, y0, x0) * (1 - fx) + cell(record, y0, x1) * fx;
    const double high = cell(record, y1, x0) * (1 - fx) + cell(record, y1, x1) * fx;
    return low * (1 - fy) + high * fy;
}
