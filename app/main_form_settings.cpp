// The Settings tab: inputs, overrides, basic configuration, output limits, calibration and firmware.
#include "app/main_form.h"

#include "app/form_parts.h"
#include "model/write_rules.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
const char* const gpi_act_tip = "Delay after GPI activation before enabling duty override.";
const char* const gpi_deact_tip = "Delay after GPI deactivation before disabling duty override.";

const QStringList gpi_modes = {
    QStringLiteral("Not used"),
    QStringLiteral("Override Main when high"),
    QStringLiteral("Override AUX when high"),
    QStringLiteral("Override GPO1 when high"),
    QStringLiteral("Override GPO2 when high"),
};

const char* const firmware_note =
    "<p><b>NEVER update the unit's firmware with the engine running!</b></p>"
    "<p>While the firmware is updated the outputs may unexpectedly toggle ON or OFF.</p>"
    "<p>Switch the vehicle off and disconnect every connector from the unit except USB. Label the MAIN and "
    "AUX connectors before you unplug them: they are not interchangeable (reverse polarities).</p>";

QVBoxLayout* column(QHBoxLayout* row)
{
    QVBoxLayout* col = new QVBoxLayout;
    row->addLayout(col);
    return col;
}
}

QWidget* main_form::build_settings_tab()
{
    QWidget* tab = new QWidget;
    tab->setObjectName(QStringLiteral("basic"));
    QHBoxLayout* row = new QHBoxLayout(tab);
    QVBoxLayout* first = column(row);
    first->addWidget(build_basic_group(tab));
    first->addWidget(build_limits_group(tab, true));
    first->addWidget(build_limits_group(tab, false));
    first->addStretch();
    QVBoxLayout* second = column(row);
    second->addWidget(build_gpi_group(tab));
    second->addWidget(build_overrides_group(tab));
    second->addStretch();
    QVBoxLayout* third = column(row);
    third->addWidget(build_trims_group(tab));
    third->addWidget(build_conversion_group(tab));
    third->addStretch();
    QVBoxLayout* fourth = column(row);
    fourth->addWidget(build_map_group(tab));
    fourth->addWidget(build_firmware_group(tab));
    fourth->addStretch();
    return tab;
}

QWidget* main_form::build_gpi_group(QWidget* parent)
{
    QGroupBox* group = make_group(parent, QStringLiteral("GPI duty table overrides"));
    form_rows rows(group);
    gpi1_control = make_combo(group, QStringLiteral("gpi1_control"), gpi_modes);
    gpi1_request = make_spin(group, "gpi1_request", write_limits::override_duty, 0, false);
    gpi1_act_delay = make_spin(group, "gpi1_act_delay", write_limits::tick_delay, 0, false, gpi_act_tip);
    gpi1_deact_delay = make_spin(group, "gpi1_deact_delay", write_limits::tick_delay, 0, false, gpi_deact_tip);
    gpi2_control = make_combo(group, QStringLiteral("gpi2_control"), gpi_modes);
    gpi2_request = make_spin(group, "gpi2_request", write_limits::override_duty, 0, false);
    gpi2_act_delay = make_spin(group, "gpi2_act_delay", write_limits::tick_delay, 0, false, gpi_act_tip);
    gpi2_deact_delay = make_spin(group, "gpi2_deact_delay", write_limits::tick_delay, 0, false, gpi_deact_tip);
    rows.add(QStringLiteral("GPI1 control"), gpi1_control);
    rows.add(QStringLiteral("Override duty"), gpi1_request, QStringLiteral("%"));
    rows.add(QStringLiteral("Activation Delay"), gpi1_act_delay, QStringLiteral("ms"));
    rows.add(QStringLiteral("Deactivation Delay"), gpi1_deact_delay, QStringLiteral("ms"));
    rows.add(QStringLiteral("GPI2 control"), gpi2_control);
    rows.add(QStringLiteral("Override duty"), gpi2_request, QStringLiteral("%"));
    rows.add(QStringLiteral("Activation Delay"), gpi2_act_delay, QStringLiteral("ms"));
    rows.add(QStringLiteral("Deactivation Delay"), gpi2_deact_delay, QStringLiteral("ms"));
    return group;
}

QWidget* main_form::build_overrides_group(QWidget* parent)
{
    QGroupBox* group = make_group(parent, QStringLiteral("Output Duty Overrides"));
    QGridLayout* grid = new QGridLayout(group);
    int r = 0;
    for (output_form& o : out) {
        const QString prefix = QLatin1String(o.desc->prefix);
        o.override_value = make_spin(group, int_field{"", -1, 100, 1, -1});
        o.override_value->setObjectName(prefix + QStringLiteral("_override"));
        o.override_set = make_button(group, prefix + QStringLiteral("_override_set"), QStringLiteral("Set"));
        o.override_reset = make_button(group, prefix + QStringLiteral("_override_reset"), QStringLiteral("Reset"));
        // "until reset" sits below 1 s, so it is chosen on purpose, never by leaving the field alone.
        o.override_seconds = make_spin(group, int_field{"", 0, 300, 1, 10, true,
                                                        "How long the override lasts before the window resets it"});
        o.override_seconds->setObjectName(prefix + QStringLiteral("_override_seconds"));
        o.override_seconds->setSpecialValueText(QStringLiteral("until reset"));
        o.override_seconds->setSuffix(QStringLiteral(" s"));
        o.override_left = make_label(group, QString(), prefix + QStringLiteral("_override_left"));
        o.override_left->setMinimumWidth(o.override_left->fontMetrics().horizontalAdvance(QStringLiteral("reset on reconnect")));
        grid->addWidget(new QLabel(QLatin1String(o.desc->name), group), r, 0);
        grid->addWidget(o.override_value, r, 1);
        grid->addWidget(new QLabel(QStringLiteral("%"), group), r, 2);
        grid->addWidget(o.override_seconds, r, 3);
        grid->addWidget(o.override_set, r, 4);
        grid->addWidget(o.override_reset, r, 5);
        grid->addWidget(o.override_left, r, 6);
        ++r;
    }
    grid->addWidget(new QLabel(QStringLiteral("These overrides are applied immediately\nwhen the set/reset buttons are "
                                              "pressed.\nTEMPORARY: these are NOT saved in the unit.\n"
                                              "Each ends by itself after its time; Esc resets them all."),
                               group),
                    r, 0, 1, 7);
    return group;
}

QWidget* main_form::build_basic_group(QWidget* parent)
{
    QGroupBox* group = make_group(parent, QStringLiteral("Basic Config"));
    form_rows rows(group);
    pulses_per_rev = make_real_spin(group, "pulses_per_rev", write_limits::pulses_per_rev, 0.5, true,
                                    "4cyl engine normally has 0.5 pulses/revolution. Must be multiples of 0.5");
    max_engine_speed = make_spin(group, "max_engine_speed", write_limits::max_engine_speed, 8000);
    min_boost = make_real_spin(group, "min_boost", write_limits::boost_range, 0);
    max_boost = make_real_spin(group, "max_boost", write_limits::boost_range, 36);
    min_an1_input = make_real_spin(group, "min_an1_input", write_limits::analog_range, 0);
    max_an1_input = make_real_spin(group, "max_an1_input", write_limits::analog_range, 4.7);
    min_an2_input = make_real_spin(group, "min_an2_input", write_limits::analog_range, 0);
    max_an2_input = make_real_spin(group, "max_an2_input", write_limits::analog_range, 4.7);
    boost_select = make_combo(group, QStringLiteral("boost_select"),
                              {QStringLiteral("PSI"), QStringLiteral("Bar"), QStringLiteral("kPa")});
    rows.add(QStringLiteral("Pulses per Revolution"), pulses_per_rev, QStringLiteral("pulses/rev"));
    rows.add(QStringLiteral("Max Engine Speed"), max_engine_speed, QStringLiteral("RPM"));
    min_boost_units = make_label(group, QStringLiteral("PSI"), QStringLiteral("min_boost_units"));
    max_boost_units = make_label(group, QStringLiteral("PSI"), QStringLiteral("max_boost_units"));
    rows.add(new QLabel(QStringLiteral("Min Boost"), group), min_boost, min_boost_units);
    rows.add(new QLabel(QStringLiteral("Max Boost"), group), max_boost, max_boost_units);
    rows.add(QStringLiteral("Min Analog A Input"), min_an1_input, QStringLiteral("V"));
    rows.add(QStringLiteral("Max Analog A Input"), max_an1_input, QStringLiteral("V"));
    rows.add(QStringLiteral("Min Analog B Input"), min_an2_input, QStringLiteral("V"));
    rows.add(QStringLiteral("Max Analog B Input"), max_an2_input, QStringLiteral("V"));
    rows.add(QStringLiteral("Boost Units"), boost_select);
    return group;
}

QWidget* main_form::build_limits_group(QWidget* parent, bool main)
{
    const QString p = main ? QStringLiteral("main") : QStringLiteral("aux");
    QGroupBox* group = make_group(parent, main ? QStringLiteral("Main Output Limits") : QStringLiteral("AUX Output Limits"));
    form_rows rows(group);
    QDoubleSpinBox* over = make_real_spin(group, "", write_limits::over_current(variant_rv8_sx), 20);
    QDoubleSpinBox* under = make_real_spin(group, "", write_limits::under_current, 2);
    QSpinBox* delay = make_spin(group, "", write_limits::time_delay, 500);
    QSpinBox* min_duty = make_spin(group, "", write_limits::min_duty, 15);
    over->setObjectName(p + QStringLiteral("_overcurrent_limit"));
    under->setObjectName(p + QStringLiteral("_undercurrent_limit"));
    delay->setObjectName(p + QStringLiteral("_time_delay"));
    min_duty->setObjectName(p + QStringLiteral("_min_duty"));
    rows.add(QStringLiteral("Overcurrent limit"), over, QStringLiteral("A"));
    rows.add(QStringLiteral("Undercurrent limit"), under, QStringLiteral("A"));
    rows.add(QStringLiteral("Time delay"), delay, QStringLiteral("ms"));
    rows.add(QStringLiteral("Min duty before activation"), min_duty, QStringLiteral("%"));
    (main ? main_overcurrent_limit : aux_overcurrent_limit) = over;
    (main ? main_undercurrent_limit : aux_undercurrent_limit) = under;
    (main ? main_time_delay : aux_time_delay) = delay;
    (main ? main_min_duty : aux_min_duty) = min_duty;
    return group;
}

QWidget* main_form::build_trims_group(QWidget* parent)
{
    QGroupBox* group = make_group(parent, QStringLiteral("Analog Input Calibration"));
    form_rows rows(group);
    const struct {
        QSpinBox* main_form::*member;
        const char* name;
        const char* caption;
    } trims[] = {
        {&main_form::battery_trim, "battery_trim", "Battery voltage channel"},
        {&main_form::an_a_trim, "an_a_trim", "Spare analog in A"},
        {&main_form::an_b_trim, "an_b_trim", "Spare analog in B"},
        {&main_form::main_current_trim, "main_current_trim", "Main current"},
        {&main_form::aux_current_trim, "aux_current_trim", "AUX current"},
    };
    for (const auto& t : trims) {
        this->*t.member = make_spin(group, int_field{t.name, 0, 65535, 100, 0, false});
        rows.add(QString::fromUtf8(t.caption), this->*t.member, QStringLiteral("counts"));
    }
    return group;
}

QWidget* main_form::build_conversion_group(QWidget* parent)
{
    QGroupBox* group = make_group(parent, QStringLiteral("Analog Input Conversion"));
    QVBoxLayout* layout = new QVBoxLayout(group);
    for (const char* input : {"a", "b"}) {
        const QString p = QStringLiteral("cust_an") + QLatin1String(input);
        QGroupBox* sub = make_group(group, QStringLiteral("Analog ") + QString::fromLatin1(input).toUpper());
        QGridLayout* grid = new QGridLayout(sub);
        QLineEdit* name = make_line(sub, p + QStringLiteral("_filename"), true);
        QPushButton* load = make_button(sub, p + QStringLiteral("_load_file"), QStringLiteral("Load from CSV"));
        QPushButton* defaults = make_button(sub, p + QStringLiteral("_defaults"), QStringLiteral("Set to Default (Volts)"));
        grid->addWidget(name, 0, 0, 1, 2);
        grid->addWidget(load, 1, 0);
        grid->addWidget(defaults, 1, 1);
        layout->addWidget(sub);
        const bool a = *input == 'a';
        (a ? cust_ana_filename : cust_anb_filename) = name;
        (a ? cust_ana_load_file : cust_anb_load_file) = load;
        (a ? cust_ana_defaults : cust_anb_defaults) = defaults;
    }
    return group;
}

QWidget* main_form::build_map_group(QWidget* parent)
{
    QGroupBox* group = make_group(parent, QStringLiteral("MAP Calibration"));
    QVBoxLayout* layout = new QVBoxLayout(group);
    QGroupBox* active = make_group(group, QStringLiteral("Current Active"));
    form_rows a(active);
    active_slope = make_real_spin(active, "active_slope", write_limits::map_slope, 16.122);
    active_intercept = make_real_spin(active, "active_intercept", write_limits::map_intercept, 222.312);
    active_atm = make_real_spin(active, "active_atm", write_limits::map_atmosphere, 223);
    active_deadband = make_real_spin(active, "active_deadband", write_limits::map_deadband, 3);
    map_cal_calibrate = make_button(active, QStringLiteral("map_cal_calibrate"), QStringLiteral("Calibrate"), true);
    map_cal_default = make_button(active, QStringLiteral("map_cal_default"), QStringLiteral("Set to Defaults"));
    a.add(QStringLiteral("Slope"), active_slope);
    a.add(QStringLiteral("Intercept"), active_intercept);
    a.add(QStringLiteral("Atmosphere"), active_atm);
    a.add(QStringLiteral("Deadband"), active_deadband);
    a.add(nullptr, map_cal_calibrate, map_cal_default);
    layout->addWidget(active);

    QGroupBox* factory = make_group(group, QStringLiteral("Factory Defaults"));
    form_rows f(factory);
    map_cal_edit_defaults = make_button(factory, QStringLiteral("map_cal_edit_defaults"), QStringLiteral("Edit Defaults"), true);
    base_slope = make_real_spin(factory, "base_slope", write_limits::map_slope, 16.122, false);
    base_intercept = make_real_spin(factory, "base_intercept", write_limits::map_intercept, 222.312, false);
    base_atm = make_real_spin(factory, "base_atm", write_limits::map_atmosphere, 223, false);
    f.add(nullptr, map_cal_edit_defaults);
    f.add(QStringLiteral("Slope"), base_slope);
    f.add(QStringLiteral("Intercept"), base_intercept);
    f.add(QStringLiteral("Atmosphere"), base_atm);
    layout->addWidget(factory);
    return group;
}

QWidget* main_form::build_firmware_group(QWidget* parent)
{
    QGroupBox* group = make_group(parent, QStringLiteral("Load Firmware Image"));
    QGridLayout* grid = new QGridLayout(group);
    fw_location = make_line(group, QStringLiteral("fw_location"), false);
    fw_location->setToolTip(
        QStringLiteral("<html><head/><body><p>Location of the hex file used for programming the embedded "
                       "firmware.</p></body></html>"));
    fw_browse = make_button(group, QStringLiteral("fw_browse"), QStringLiteral("Browse"));
    fw_update = make_button(group, QStringLiteral("fw_update"), QStringLiteral("Update\nFirmware"));
    QTextBrowser* note = new QTextBrowser(group);
    note->setHtml(QString::fromUtf8(firmware_note));
    note->setMaximumHeight(150);
    grid->addWidget(fw_location, 0, 0);
    grid->addWidget(fw_browse, 0, 1);
    grid->addWidget(fw_update, 1, 1);
    grid->addWidget(note, 1, 0);
    return group;
}
