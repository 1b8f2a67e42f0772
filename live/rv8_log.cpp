#include "live/rv8_log.h"

#include <QtGlobal>

rv8_log::rv8_log() = default;

void rv8_log::note_order(qint64 t)
{
    if (timestamps.size() > 0 && t < last_stamp)
        in_order = false;
    last_stamp = t;
}

void rv8_log::append(const rv8_frame& frame)
{
    const auto values = frame.values();
    note_order(frame.timestamp);
    timestamps.append(frame.timestamp);
    for (int e = 0; e < e_last; ++e)
        columns[size_t(e)].append(values[size_t(e)]);
}

void rv8_log::append(const std::vector<rv8_frame>& frames)
{
    const int n = int(frames.size());
    std::vector<std::array<quint32, rv8_frame::value_count>> rows;
    rows.reserve(frames.size());
    for (const rv8_frame& frame : frames) {
        rows.push_back(frame.values());
        note_order(frame.timestamp);
    }
    // Time stamps first, as for a single frame: a reader pairs a column only with stamps it has.
    timestamps.append_each(n, [&frames](int k) { return frames[size_t(k)].timestamp; });
    for (size_t e = 0; e < columns.size(); ++e)
        columns[e].append_each(n, [&rows, e](int k) { return rows[size_t(k)][e]; });
}

void rv8_log::append_columns(int n, const qint64* stamps, const std::array<const quint32*, rv8_frame::value_count>& values)
{
    if (n <= 0)
        return;
    for (int k = 0; k < n; ++k)
        note_order(stamps[k]);
    timestamps.append_each(n, [stamps](int k) { return stamps[k]; });
    for (size_t e = 0; e < columns.size(); ++e) {
        const quint32* column = values[e];
        columns[e].append_each(n, [column](int k) { return column[k]; });
    }
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

void rv8_log::bucket_range(qint64 t, int& first, int& end) const
{
    // Buckets round toward minus infinity, also before the epoch.
    const qint64 lowest = t & ~qint64(31);
    int lo = 0, hi = size();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (timestamps.value(mid) < lowest)
            lo = mid + 1;
        else
            hi = mid;
    }
    first = lo;
    end = lo;
    const int n = size();
    while (end < n && (timestamps.value(end) >> 5) == (t >> 5))
        ++end;
}

rv8_frame rv8_log::roughly_at(qint64 t) const
{
    const qint64 key = t >> 5;
    int chosen = -1;
    quint64 best = 0;
    // The nearest in t's bucket; on a tie, and among equal stamps, the one appended last.
    const auto consider = [&](int p, qint64 stamp) {
        if ((stamp >> 5) != key)
            return;
        const quint64 distance = stamp >= t ? quint64(stamp) - quint64(t) : quint64(t) - quint64(stamp);
        if (chosen < 0 || distance <= best) {
            chosen = p;
            best = distance;
        }
    };
    if (in_order) {
        int first = 0, end = 0;
        bucket_range(t, first, end);
        for (int p = first; p < end; ++p)
            consider(p, timestamps.value(p));
    } else {
        std::vector<qint64> block(4096);
        for (int at = 0;;) {
            const int n = timestamps.copy(at, int(block.size()), block.data());
            if (n == 0)
                break;
            for (int k = 0; k < n; ++k)
                consider(at + k, block[size_t(k)]);
            at += n;
        }
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
    timestamps.clear();
    for (auto& column : columns)
        column.clear();
    in_order = true;
    last_stamp = 0;
}
