#pragma once
// Synthetic live data for the chart benchmarks: samples 13.13 ms apart whose values wander like
// a drive, every one of them marked as logged to file.

#include "graphs/live_curves.h"
#include "graphs/log_graph.h"
#include "live/rv8_log.h"

#include <QtMath>

namespace bench_chart {

const double period_ms = 13.13;

inline rv8_frame sample(qint64 t, int i)
{
    const double phase = i * 0.01;
    std::array<quint32, rv8_frame::value_count> v{};
    v[rv8_log::e_batt_adc] = 700 + quint32(20 * (1 + qSin(phase * 0.1)));
    v[rv8_log::e_map_adc] = 300 + quint32(250 * (1 + qSin(phase)));
    v[rv8_log::e_an1_adc] = 200 + quint32(100 * (1 + qSin(phase * 1.3)));
    v[rv8_log::e_an2_adc] = 500 + quint32(80 * (1 + qCos(phase * 0.7)));
    v[rv8_log::e_aux_current] = 100 + quint32(90 * (1 + qSin(phase * 2.1)));
    v[rv8_log::e_main_current] = 150 + quint32(120 * (1 + qSin(phase * 1.9)));
    v[rv8_log::e_rpm] = 2500 + quint32(2200 * (1 + qSin(phase * 0.9)));
    v[rv8_log::e_aux_duty] = 200 + quint32(300 * (1 + qSin(phase * 1.1)));
    v[rv8_log::e_main_duty] = 250 + quint32(350 * (1 + qCos(phase * 1.1)));
    v[rv8_log::e_gpo1_duty] = 400 + quint32(200 * (1 + qSin(phase * 0.5)));
    v[rv8_log::e_gpo2_duty] = 100 + quint32(150 * (1 + qCos(phase * 0.3)));
    v[rv8_log::e_gpi1_state] = (i / 700) % 2;
    v[rv8_log::e_gpi2_state] = (i / 1100) % 2;
    return rv8_frame(t, v);
}

// n samples ending at end_ms.
inline void fill(rv8_log& log, tsafe_qvector<unsigned int>& marks, int n, qint64 end_ms)
{
    const double start = double(end_ms) - (n - 1) * period_ms;
    for (int i = 0; i < n; ++i) {
        log.append(sample(qint64(start + i * period_ms), i));
        marks.append(1);
    }
}

inline int samples_in(double minutes)
{
    return int(minutes * 60000 / period_ms);
}

// The start-up curves with every one of them shown, as the heaviest chart a user can ask for.
inline void show_all_curves(log_graph& graph, const rv8_log& log, const tsafe_qvector<unsigned int>& marks)
{
    add_live_curves(graph, log, marks);
    for (const char* name : {"MAP", "RPM", "AN_A", "AN_B", "AUX Duty", "Main Duty", "GPO1 Duty", "GPO2 Duty",
                             "AUX Current", "Main Current", "Battery", "GPI1", "GPI2", "Logged to file"})
        graph.show_curve(QLatin1String(name), true);
}

} // namespace bench_chart
