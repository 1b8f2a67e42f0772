#include "graphs/live_curves.h"

#include "graphs/log_graph.h"
#include "live/rv8_log.h"

#include <qwt/qwt_plot_curve.h>

namespace {

struct curve_spec {
    const char* name;
    const char* colour;
    rv8_log::e_data column;
    unsigned int full_scale;
    log_graph::conversion conv;
    bool on_right;
    bool shown;
};

const curve_spec value_curves[] = {
    {"MAP", "Blue", rv8_log::e_map_adc, 1023, nullptr, false, true},
    {"RPM", "Red", rv8_log::e_rpm, 10000, nullptr, true, true},
    {"AN_A", "CadetBlue", rv8_log::e_an1_adc, 1023, nullptr, false, false},
    {"AN_B", "Chocolate", rv8_log::e_an2_adc, 1023, nullptr, false, false},
    {"AUX Duty", "Green", rv8_log::e_aux_duty, 1023, nullptr, false, true},
    {"Main Duty", "DeepPink", rv8_log::e_main_duty, 1023, nullptr, false, true},
    {"GPO1 Duty", "LightSeaGreen", rv8_log::e_gpo1_duty, 1023, nullptr, false, false},
    {"GPO2 Duty", "DarkBlue", rv8_log::e_gpo2_duty, 1023, nullptr, false, false},
    {"AUX Current", "DarkCyan", rv8_log::e_aux_current, 1023, nullptr, false, false},
    {"Main Current", "DarkMagenta", rv8_log::e_main_current, 1023, nullptr, false, false},
    {"Battery", "Black", rv8_log::e_batt_adc, 1023, nullptr, false, false},
    {"GPI1", "DarkMagenta", rv8_log::e_gpi1_state, 1, state_to_full_scale, false, false},
    {"GPI2", "DarkOrange", rv8_log::e_gpi2_state, 1, state_to_full_scale, false, false},
};

QColor named(const char* name)
{
    QColor colour;
    colour.setNamedColor(QLatin1String(name));
    return colour;
}

} // namespace

double state_to_full_scale(double state)
{
    return state * 1023;
}

double mark_to_band(double mark)
{
    return mark * 1280;
}

void add_live_curves(log_graph& graph, const rv8_log& log, const tsafe_qvector<unsigned int>& file_marks)
{
    const tsafe_qvector<qint64>* stamps = &log.const_timestamps();
    graph.add_shade(QStringLiteral("Logged to file"), QColor(Qt::darkBlue), stamps, &file_marks, 0, 1,
                    mark_to_band);
    for (const curve_spec& c : value_curves) {
        const QString name = QLatin1String(c.name);
        graph.add_curve(name, named(c.colour), stamps, &log.const_data(c.column), 0, c.full_scale, c.conv);
        if (c.on_right)
            graph.get_curve(name)->setYAxis(QwtPlot::yRight);
        if (!c.shown)
            graph.show_curve(name, false);
    }
}
