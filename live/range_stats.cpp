#include "live/range_stats.h"

#include "live/rv8_log.h"

#include <algorithm>
#include <vector>

namespace {
constexpr int block_rows = 4096;

// Calls row(k, stamps, columns) for every sample within [from, to], a block of columns at a time.
template <typename F>
void each_in_range(const rv8_log& log, qint64 from, qint64 to, const QList<int>& channels, F&& row)
{
    std::vector<qint64> stamps(block_rows);
    auto columns = std::vector<std::vector<unsigned int>>(live_channels::count, std::vector<unsigned int>(block_rows));
    const int end = log.size();
    for (int at = 0; at < end;) {
        int n = log.const_timestamps().copy(at, std::min(block_rows, end - at), stamps.data());
        if (n == 0)
            break;
        for (int c : channels)
            n = std::min(n, log.const_data(rv8_log::e_data(live_channels::all()[size_t(c)].column))
                                .copy(at, n, columns[size_t(c)].data()));
        for (int k = 0; k < n; ++k)
            if (stamps[size_t(k)] >= from && stamps[size_t(k)] <= to)
                row(k, stamps, columns);
        at += n;
    }
}

QList<int> every_channel()
{
    QList<int> all;
    for (int c = 0; c < live_channels::count; ++c)
        all << c;
    return all;
}
}

range_summary summarize_range(const rv8_log& log, qint64 from, qint64 to, const channel_scale& scale)
{
    range_summary s;
    s.from = from;
    s.to = to;
    std::array<double, live_channels::count> sums{};
    const QList<int> all = every_channel();
    each_in_range(log, from, to, all, [&](int k, const std::vector<qint64>&, const auto& columns) {
        for (int c = 0; c < live_channels::count; ++c) {
            const double v = scale.value(c, columns[size_t(c)][size_t(k)]);
            range_summary::stats& st = s.channels[size_t(c)];
            st.min = s.samples == 0 ? v : std::min(st.min, v);
            st.max = s.samples == 0 ? v : std::max(st.max, v);
            sums[size_t(c)] += v;
        }
        ++s.samples;
    });
    for (int c = 0; c < live_channels::count && s.samples > 0; ++c)
        s.channels[size_t(c)].mean = sums[size_t(c)] / s.samples;
    return s;
}

bool write_range_csv(QIODevice& out, const rv8_log& log, qint64 from, qint64 to, const QList<int>& channels,
                     const channel_scale& scale)
{
    QByteArray text = "timestamp";
    for (int c : channels)
        text += ',' + scale.caption(c).toUtf8();
    text += "\r\n";
    bool ok = true;
    each_in_range(log, from, to, channels, [&](int k, const std::vector<qint64>& stamps, const auto& columns) {
        text += QByteArray::number(stamps[size_t(k)]);
        for (int c : channels)
            text += ',' + scale.format(c, scale.value(c, columns[size_t(c)][size_t(k)])).toLatin1();
        text += "\r\n";
        if (text.size() > (1 << 20)) {
            ok = ok && out.write(text) == text.size();
            text.clear();
        }
    });
    return ok && out.write(text) == text.size();
}
