#include "live/dwell_map.h"

#include "live/rv8_log.h"
#include "model/conv.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {
constexpr quint32 adc_max = converter::adc_max;
constexpr int block_rows = 4096;
}

dwell_axes::position dwell_axes::locate(const std::array<double, size>& points, double v)
{
    // Written so that NaN, and axes not yet set (all equal), land on an edge.
    if (!(v > points[0]))
        return {0, 0.0};
    if (!(v < points[size - 1]))
        return {size - 1, 0.0};
    int i = 0;
    while (i < size - 2 && !(v < points[size_t(i + 1)]))
        ++i;
    const double span = points[size_t(i + 1)] - points[size_t(i)];
    const double f = span > 0 ? (v - points[size_t(i)]) / span : 0.0;
    return {i, std::clamp(f, 0.0, 1.0)};
}

dwell_map::dwell_map() = default;

dwell_map::dwell_map(const dwell_axes& axes, const dwell_source& source) : ax(axes), src(source) {}

double dwell_map::load_of(quint32 counts) const
{
    const size_t c = qMin(counts, adc_max);
    return c < src.load_of_counts.size() ? src.load_of_counts[c] : double(c);
}

double dwell_map::interval(qint64 t)
{
    double ms = record_period_ms;
    // Stamps come from files and may be anything: the difference is taken unsigned once ordered.
    if (has_last && t >= last_t && quint64(t) - quint64(last_t) < quint64(gap_ms))
        ms = double(quint64(t) - quint64(last_t));
    last_t = t;
    has_last = true;
    return ms;
}

void dwell_map::pass(qint64 t)
{
    interval(t);
}

void dwell_map::add(const rv8_frame& frame)
{
    const quint32 current = src.current_column >= 0 ? frame.value(src.current_column) : 0;
    add(frame.timestamp, frame.rpm, frame.value(src.load_column), frame.value(src.duty_column), current);
}

void dwell_map::add(qint64 t, quint32 rpm, quint32 load_counts, quint32 duty, quint32 current)
{
    const double seconds = interval(t) / 1000.0;
    const double percent = qMin(duty, adc_max) * 100.0 / adc_max;
    const double amps = src.current_column >= 0 ? converter::adc2amps(qMin(current, adc_max)) : 0.0;
    const dwell_axes::position c = dwell_axes::locate(ax.rpm, rpm);
    const dwell_axes::position r = dwell_axes::locate(ax.load, load_of(load_counts));
    for (int dr = 0; dr < 2; ++dr) {
        const double row_share = dr ? r.fraction : 1.0 - r.fraction;
        for (int dc = 0; dc < 2; ++dc) {
            const double share = row_share * (dc ? c.fraction : 1.0 - c.fraction);
            if (!(share > 0))
                continue;
            dwell_cell& cell = cells[size_t((size - 1 - (r.index + dr)) * size + c.index + dc)];
            cell.seconds += share * seconds;
            cell.weight += share;
            cell.duty += share * percent;
            cell.current += share * amps;
        }
    }
    // The hit goes to the nearest cell; halfway between two, to the upper one.
    const int hit_row = r.index + (r.fraction >= 0.5 ? 1 : 0);
    const int hit_column = c.index + (c.fraction >= 0.5 ? 1 : 0);
    ++cells[size_t((size - 1 - hit_row) * size + hit_column)].hits;
    ++count;
}

std::vector<dwell_map::weight> dwell_map::weights(quint32 rpm, quint32 load_counts) const
{
    dwell_map probe(ax, src);
    probe.add(0, rpm, load_counts, 0, 0);
    std::vector<weight> out;
    for (int row = 0; row < size; ++row)
        for (int column = 0; column < size; ++column)
            if (probe.at(row, column).weight > 0)
                out.push_back({row, column, probe.at(row, column).weight});
    return out;
}

QPointF dwell_map::position(quint32 rpm, quint32 load_counts) const
{
    const dwell_axes::position c = dwell_axes::locate(ax.rpm, rpm);
    const dwell_axes::position r = dwell_axes::locate(ax.load, load_of(load_counts));
    return QPointF(c.index + c.fraction, r.index + r.fraction);
}

void dwell_map::reset()
{
    cells.fill(dwell_cell());
    count = 0;
    has_last = false;
}

double dwell_map::max_seconds() const
{
    double most = 0;
    for (const dwell_cell& c : cells)
        most = std::max(most, c.seconds);
    return most;
}

double dwell_map::total_seconds() const
{
    double sum = 0;
    for (const dwell_cell& c : cells)
        sum += c.seconds;
    return sum;
}

void dwell_map::add_rows(const std::vector<dwell_map*>& maps, const rv8_log& log, int first, int end, qint64 from,
                         qint64 to)
{
    if (maps.empty())
        return;
    std::set<int> wanted{rv8_log::e_rpm};
    for (const dwell_map* m : maps) {
        wanted.insert(m->src.load_column);
        wanted.insert(m->src.duty_column);
        if (m->src.current_column >= 0)
            wanted.insert(m->src.current_column);
    }
    std::vector<qint64> stamps(block_rows);
    std::vector<std::vector<unsigned int>> columns(rv8_log::e_last);
    for (int e : wanted)
        columns[size_t(e)].resize(block_rows);
    const auto column = [&columns](int e) { return columns[size_t(e)].data(); };
    for (int at = std::max(first, 0); at < end;) {
        int n = log.const_timestamps().copy(at, std::min(block_rows, end - at), stamps.data());
        if (n == 0)
            break;
        // A column may trail the stamps by the sample being appended: use what all of them hold.
        for (int e : wanted)
            n = std::min(n, log.const_data(rv8_log::e_data(e)).copy(at, n, column(e)));
        if (n == 0)
            break;
        const unsigned int* rpm = column(rv8_log::e_rpm);
        for (dwell_map* m : maps) {
            const unsigned int* load = column(m->src.load_column);
            const unsigned int* duty = column(m->src.duty_column);
            const unsigned int* current = m->src.current_column >= 0 ? column(m->src.current_column) : nullptr;
            for (int k = 0; k < n; ++k) {
                const qint64 t = stamps[size_t(k)];
                if (t < from || t > to)
                    m->pass(t);
                else
                    m->add(t, rpm[k], load[k], duty[k], current ? current[k] : 0);
            }
        }
        at += n;
    }
}
