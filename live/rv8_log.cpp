#include "live/rv8_log.h"

#include <QtGlobal>

rv8_log::rv8_log() : time_index(timestamps) {}

void rv8_log::append(const rv8_frame& frame)
{
    const auto values = frame.values();
    timestamps.append(frame.timestamp);
    time_index.insert(frame.timestamp);
    for (int e = 0; e < e_last; ++e)
        columns[size_t(e)].append(values[size_t(e)]);
}

void rv8_log::append(const std::vector<rv8_frame>& frames)
{
    const int n = int(frames.size());
    std::vector<std::array<quint32, rv8_frame::value_count>> rows;
    rows.reserve(frames.size());
    for (const rv8_frame& frame : frames)
        rows.push_back(frame.values());
    // Time stamps first, as for a single frame: a reader pairs a column only with stamps it has.
    timestamps.append_each(n, [&frames](int k) { return frames[size_t(k)].timestamp; });
    for (const rv8_frame& frame : frames)
        time_index.insert(frame.timestamp);
    for (size_t e = 0; e < columns.size(); ++e)
        columns[e].append_each(n, [&rows, e](int k) { return rows[size_t(k)][e]; });
}

int rv8_log::size() const
{
    return timestamps.size();
}

rv8_frame rv8_log::at(int i) const
{
    const int length = size();
    if (i < 0 || i >= length) {
        qCritical("Index i=%d >= length=%d", i, length);
        return rv8_frame();
    }
    std::array<quint32, rv8_frame::value_count> values;
    for (int e = 0; e < e_last; ++e)
        values[size_t(e)] = columns[size_t(e)].value(i);
    return rv8_frame(timestamps.value(i), values);
}

rv8_frame rv8_log::roughly_at(qint64 t) const
{
    int chosen = -1;
    qint64 best = 0;
    // Newest first, and only a strictly closer sample replaces the choice, so ties go to the newer.
    for (int p = time_index.newest(t); p >= 0; p = time_index.previous(p)) {
        const qint64 distance = qAbs(timestamps.value(p) - t);
        if (chosen < 0 || distance < best) {
            chosen = p;
            best = distance;
        }
        if (distance == 0)
            break;
    }
    return chosen < 0 ? rv8_frame() : at(chosen);
}

const tsafe_qvector<unsigned int>& rv8_log::const_data(e_data e) const
{
    if (e == e_last)
        return columns[0];
    if (e < 0 || e > e_last)
        qFatal("Unknown e_data %d", int(e));
    return columns[size_t(e)];
}

void rv8_log::clear()
{
    time_index.clear();
    timestamps.clear();
    for (auto& column : columns)
        column.clear();
}
