// The Debug Log and Live View tabs.
#include "app/main_form.h"

#include "app/chart_panel.h"
#include "app/form_parts.h"
#include "graphs/log_graph.h"
#include "live/live_channels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QStringList comparisons = {QStringLiteral("is greater than or equal (>=)"), QStringLiteral("is greater than (>)"),
                                 QStringLiteral("is less than (<)"), QStringLiteral("is less than or equal (<=)")};

// One "Start logging when" / "Stop logging when" row of the event group: whether it counts, a live
// channel, a comparison, a value in the channel's unit and how long it has to hold.
condition_row add_condition(QGridLayout* grid, int row, const QString& caption, const QString& name, QWidget* parent)
{
    const QString p = QStringLiteral("live_log_") + name;
    condition_row c;
    c.enabled = new QCheckBox(caption, parent);
    c.enabled->setObjectName(p + QStringLiteral("_enabled"));
    c.enabled->setChecked(true);
    QStringList sources;
    for (const live_channels::channel& ch : live_channels::all())
        sources << QLatin1String(ch.name);
    c.source = make_combo(parent, p + QStringLiteral("_source"), sources);
    c.comparison = make_combo(parent, p + QStringLiteral("_comparison"), comparisons);
    const QByteArray value_name = (p + QStringLiteral("_value")).toLatin1();
    const QByteArray hold_name = (p + QStringLiteral("_hold")).toLatin1();
    c.value = make_spin(parent, real_field{value_name.constData(), -100000, 100000, 1, 2, 0});
    c.hold = make_spin(parent, real_field{hold_name.constData(), 0, 3600, 0.5, 1, 0, true,
                                          "How long the condition must hold without a break"});
    c.hold->setSuffix(QStringLiteral(" s"));
    grid->addWidget(c.enabled, row, 0);
    grid->addWidget(c.source, row, 1);
    grid->addWidget(c.comparison, row, 2);
    grid->addWidget(c.value, row, 3);
    grid->addWidget(new QLabel(QStringLiteral("for"), parent), row, 4);
    grid->addWidget(c.hold, row, 5);
    return c;
}
}

QWidget* main_form::build_log_tab()
{
    QWidget* tab = new QWidget;
    tab->setObjectName(QStringLiteral("log"));
    QVBoxLayout* layout = new QVBoxLayout(tab);
    QHBoxLayout* top = new QHBoxLayout;
    open_debug_log_file = make_button(tab, QStringLiteral("open_debug_log_file"), QStringLiteral("Open Log File"));
    debug_log_file_name = make_line(tab, QStringLiteral("debug_log_file_name"), true);
    top->addWidget(open_debug_log_file);
    top->addWidget(debug_log_file_name, 1);
    layout->addLayout(top);
    debug_log_text = new QPlainTextEdit(tab);
    debug_log_text->setObjectName(QStringLiteral("debug_log_text"));
    debug_log_text->setReadOnly(true);
    // A long session with tracing on must not grow the view without end.
    debug_log_text->setMaximumBlockCount(100000);
    layout->addWidget(debug_log_text, 1);
    return tab;
}

QWidget* main_form::build_live_tab()
{
    QWidget* tab = new QWidget;
    tab->setObjectName(QStringLiteral("live"));
    QVBoxLayout* layout = new QVBoxLayout(tab);
    live_collapse = make_button(tab, QStringLiteral("live_collapse"), QStringLiteral("^^^ Hide Options ^^^"), true);
    live_collapse->setStatusTip(QStringLiteral("Toggle to increase the size of the graph"));
    layout->addWidget(live_collapse);
    QHBoxLayout* panels = new QHBoxLayout;
    panels->addWidget(build_live_data(tab), 1);
    panels->addWidget(build_live_log_settings(tab));
    layout->addLayout(panels);
    QHBoxLayout* chart = new QHBoxLayout;
    live_log_graph = new log_graph(tab);
    live_log_graph->setObjectName(QStringLiteral("live_log_graph"));
    chart->addWidget(live_log_graph, 1);
    live_chart_panel = new chart_panel(tab);
    live_chart_panel->setFixedWidth(340);
    chart->addWidget(live_chart_panel);
    layout->addLayout(chart, 1);
    return tab;
}

QWidget* main_form::build_live_data(QWidget* parent)
{
    live_data_group = make_group(parent, QStringLiteral("Live Data"), QStringLiteral("live_data_group"));
    QGridLayout* grid = new QGridLayout(live_data_group);
    live_display_format = make_combo(live_data_group, QStringLiteral("live_display_format"),
                                     {QStringLiteral("Physical"), QStringLiteral("Raw decimal"), QStringLiteral("Raw hex")});
    grid->addWidget(new QLabel(QStringLiteral("Display format"), live_data_group), 0, 0);
    grid->addWidget(live_display_format, 0, 1);
    live_an_a_units = make_label(live_data_group, QStringLiteral("V"), QStringLiteral("live_an_a_units"));
    live_an_b_units = make_label(live_data_group, QStringLiteral("V"), QStringLiteral("live_an_b_units"));
    live_map_units = make_label(live_data_group, QStringLiteral("PSI"), QStringLiteral("live_map_units"));
    const struct {
        QLineEdit* main_form::*member;
        const char* name;
        const char* caption;
        QLabel* main_form::*unit_label;
        const char* unit;
    } readouts[] = {
        {&main_form::live_rpm, "live_rpm", "Engine speed", nullptr, "RPM"},
        {&main_form::live_map, "live_map", "MAP", &main_form::live_map_units, nullptr},
        {&main_form::live_battery_voltage, "live_battery_voltage", "Battery", nullptr, "V"},
        {&main_form::live_aux_master, "live_aux_master", "AUX master", nullptr, ""},
        {&main_form::live_main_duty, "live_main_duty", "Main duty", nullptr, "%"},
        {&main_form::live_main_current, "live_main_current", "Main current", nullptr, "A"},
        {&main_form::live_aux_duty, "live_aux_duty", "Aux duty", nullptr, "%"},
        {&main_form::live_aux_current, "live_aux_current", "Aux current", nullptr, "A"},
        {&main_form::live_gpo1_duty, "live_gpo1_duty", "GPO1 duty", nullptr, "%"},
        {&main_form::live_gpo2_duty, "live_gpo2_duty", "GPO2 duty", nullptr, "%"},
        {&main_form::live_gpi1_state, "live_gpi1_state", "GPI1 state", nullptr, ""},
        {&main_form::live_gpi2_state, "live_gpi2_state", "GPI2 state", nullptr, ""},
        {&main_form::live_an_a_voltage, "live_an_a_voltage", "AN A input", &main_form::live_an_a_units, nullptr},
        {&main_form::live_an_b_voltage, "live_an_b_voltage", "AN B input", &main_form::live_an_b_units, nullptr},
    };
    int i = 0;
    for (const auto& r : readouts) {
        QLineEdit* line = make_line(live_data_group, QLatin1String(r.name), true);
        line->setEnabled(false);
        this->*r.member = line;
        const int row = 1 + i / 2;
        const int col = (i % 2) * 3;
        grid->addWidget(new QLabel(QLatin1String(r.caption), live_data_group), row, col);
        grid->addWidget(line, row, col + 1);
        grid->addWidget(r.unit_label ? this->*r.unit_label : new QLabel(QLatin1String(r.unit), live_data_group), row, col + 2);
        ++i;
    }
    return live_data_group;
}

QWidget* main_form::build_live_log_settings(QWidget* parent)
{
    live_log_settings_group = make_group(parent, QStringLiteral("Live log settings"), QStringLiteral("live_log_settings_group"));
    QVBoxLayout* layout = new QVBoxLayout(live_log_settings_group);

    live_log_timer_group = make_group(live_log_settings_group, QString(), QStringLiteral("live_log_timer_group"));
    QGridLayout* timer = new QGridLayout(live_log_timer_group);
    live_log_use_timer = new QCheckBox(QStringLiteral("Timer based logging"), live_log_timer_group);
    live_log_use_timer->setObjectName(QStringLiteral("live_log_use_timer"));
    live_log_timer_start = make_spin(live_log_timer_group, int_field{"live_log_timer_start", 0, 10000, 1, 5, true,
                                                                     "Set to 0 to start immediately"});
    live_log_timer_stop = make_spin(live_log_timer_group, int_field{"live_log_timer_stop", 0, 10000, 1, 0, true,
                                                                    "Set to 0 to never stop"});
    live_log_timer = make_label(live_log_timer_group, QStringLiteral("0"), QStringLiteral("live_log_timer"));
    timer->addWidget(live_log_use_timer, 0, 0, 1, 3);
    const struct {
        const char* caption;
        QWidget* field;
    } timer_rows[] = {{"Start logging after", live_log_timer_start},
                      {"Stop logging after", live_log_timer_stop},
                      {"Starting in", live_log_timer}};
    int row = 1;
    for (const auto& r : timer_rows) {
        timer->addWidget(new QLabel(QLatin1String(r.caption), live_log_timer_group), row, 0);
        timer->addWidget(r.field, row, 1);
        timer->addWidget(new QLabel(QStringLiteral("seconds"), live_log_timer_group), row, 2);
        ++row;
    }
    layout->addWidget(live_log_timer_group);

    live_log_event_group = make_group(live_log_settings_group, QStringLiteral("Event based logging"),
                                      QStringLiteral("live_log_event_group"));
    live_log_event_group->setCheckable(true);
    live_log_event_group->setChecked(false);
    live_log_event_group->setStatusTip(
        QStringLiteral("Log to File waits for the start condition, and starts again after each stop"));
    QGridLayout* events = new QGridLayout(live_log_event_group);
    live_log_start = add_condition(events, 0, QStringLiteral("Start logging when"), QStringLiteral("start"),
                                   live_log_event_group);
    live_log_stop = add_condition(events, 1, QStringLiteral("Stop logging when"), QStringLiteral("stop"),
                                  live_log_event_group);
    layout->addWidget(live_log_event_group);

    QHBoxLayout* pre = new QHBoxLayout;
    live_log_pre_trigger = make_spin(live_log_settings_group,
                                     int_field{"live_log_pre_trigger", 0, 60, 1, 10, true,
                                               "A recording begins with the records of these last seconds; 0 keeps none"});
    pre->addWidget(new QLabel(QStringLiteral("Keep before start"), live_log_settings_group));
    pre->addWidget(live_log_pre_trigger);
    pre->addWidget(new QLabel(QStringLiteral("seconds"), live_log_settings_group));
    pre->addStretch(1);
    layout->addLayout(pre);

    QGridLayout* files = new QGridLayout;
    live_log_folder = make_line(live_log_settings_group, QStringLiteral("live_log_folder"), true);
    set_live_log_folder = make_button(live_log_settings_group, QStringLiteral("set_live_log_folder"), QStringLiteral("Set log folder"));
    live_log_file_name = make_line(live_log_settings_group, QStringLiteral("live_log_file_name"), true);
    open_live_log_file = make_button(live_log_settings_group, QStringLiteral("open_live_log_file"), QStringLiteral("Open log file"));
    live_log_to_file = make_button(live_log_settings_group, QStringLiteral("live_log_to_file"), QStringLiteral("Log to file"), true);
    files->addWidget(live_log_folder, 0, 0);
    files->addWidget(set_live_log_folder, 0, 1);
    files->addWidget(live_log_file_name, 1, 0);
    files->addWidget(open_live_log_file, 1, 1);
    files->addWidget(live_log_to_file, 2, 0, 1, 2);
    layout->addLayout(files);
    return live_log_settings_group;
}
