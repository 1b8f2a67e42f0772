// The four output tabs, built from one description: a duty table with its rotated load caption,
// its 3-D surface, the output's settings and its live values.
#include "app/main_form.h"

#include "app/dwell_bar.h"
#include "app/form_parts.h"
#include "model/write_rules.h"
#include "app/vertical_label.h"
#include "graphs/table_graph.h"
#include "tables/duty_table.h"
#include "tables/table_op_bar.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const char* const greater = "is equal to or greater than:";

QStringList control_modes(const output_desc& d)
{
    QStringList items = {QStringLiteral("Output OFF"), QStringLiteral("Duty table")};
    if (d.index == tbl_main)
        return items << QStringLiteral("Duty table + pump delay");
    if (d.index == tbl_aux)
        return items << QStringLiteral("Duty table + pump delay") << QStringLiteral("Duty table + OEM control")
                     << QStringLiteral("OEM control pass-through");
    items << QStringLiteral("ON above setpoint, OFF below it") << QStringLiteral("OFF above setpoint, ON below it")
          << QStringLiteral("ON when MAIN faulted, OFF otherwise") << QStringLiteral("OFF when MAIN faulted, ON otherwise");
    if (d.index == tbl_gpo1)
        return items << QStringLiteral("ON while AUX faulted, OFF otherwise")
                     << QStringLiteral("OFF while AUX faulted, ON otherwise");
    return items << QStringLiteral("ON when AUX faulted, OFF otherwise") << QStringLiteral("OFF when AUX faulted, ON otherwise");
}

const QStringList vert_sources = {QStringLiteral("MAP Sensor"), QStringLiteral("Analog Input A (0-5V)"),
                                  QStringLiteral("Analog Input B (0-5V)")};

void style_table(duty_table* table)
{
    QFont bold = table->font();
    bold.setBold(true);
    table->setFont(bold);
    table->setSelectionMode(QAbstractItemView::ContiguousSelection);
    table->setGridStyle(Qt::DashLine);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    // The cross-hair divides the viewport into equal cells: it must hold the cells and nothing more.
    table->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}
}

QWidget* main_form::build_output_tab(output_form& o)
{
    const QString p = QLatin1String(o.desc->prefix);
    QWidget* tab = new QWidget;
    tab->setObjectName(p);
    QHBoxLayout* row = new QHBoxLayout(tab);

    QGridLayout* grid_area = new QGridLayout;
    o.vert_axis_label = new VerticalLabel(QStringLiteral("Boost Pressure (PSI)"), tab);
    o.vert_axis_label->setObjectName(p + QStringLiteral("_vert_axis_label"));
    o.table = new duty_table(16, 16, tab);
    o.table->setObjectName(p + QStringLiteral("_table"));
    style_table(o.table);
    QLabel* rpm_caption = new QLabel(QStringLiteral("Engine RPM"), tab);
    rpm_caption->setAlignment(Qt::AlignCenter);
    o.ops = new table_op_bar(o.table, tab);
    grid_area->addWidget(o.ops, 0, 1);
    grid_area->addWidget(o.vert_axis_label, 1, 0);
    grid_area->addWidget(o.table, 1, 1);
    grid_area->addWidget(rpm_caption, 2, 1);
    o.dwell = new dwell_bar(p, tab);
    grid_area->addWidget(o.dwell, 3, 1);
    grid_area->setRowStretch(4, 1);
    grid_area->setColumnStretch(2, 1);
    row->addLayout(grid_area, 1);

    QVBoxLayout* side = new QVBoxLayout;
    o.graph = new table_graph(tab);
    o.graph->setObjectName(p + QStringLiteral("_graph"));
    o.graph->setMinimumSize(360, 300);
    if (o.desc->index == tbl_main)
        o.graph->setStatusTip(QStringLiteral("3D graph of the duty values"));
    side->addWidget(o.graph, 1);
    side->addWidget(build_output_settings(o, tab));
    side->addWidget(build_output_live(o, tab));
    row->addLayout(side);
    return tab;
}

QWidget* main_form::build_output_settings(output_form& o, QWidget* parent)
{
    const QString p = QLatin1String(o.desc->prefix);
    QGroupBox* group = make_group(parent, QStringLiteral("Settings"));
    form_rows rows(group);
    o.control = make_combo(group, p + QStringLiteral("_control"), control_modes(*o.desc));
    o.vert_axis = make_combo(group, p + QStringLiteral("_vert_axis"), vert_sources);
    o.vert_axis_gt = make_real_spin(group, "", write_limits::load_threshold_boost, 4);
    o.vert_axis_gt->setObjectName(p + QStringLiteral("_vert_axis_gt"));
    o.horz_axis_gt = make_spin(group, "", write_limits::speed_threshold, 1500);
    o.horz_axis_gt->setObjectName(p + QStringLiteral("_horz_axis_gt"));
    o.vert_axis_name = make_label(group, QStringLiteral("MAP Sensor"), p + QStringLiteral("_vert_axis_name"));
    o.vert_axis_units = make_label(group, QStringLiteral("PSI"), p + QStringLiteral("_vert_axis_units"));
    const QString operate = o.desc->pump ? QStringLiteral("Duty table used when:") : QStringLiteral("Duty table is not used.");
    o.operate_label = make_label(group, operate, o.desc->pump ? QString() : p + QStringLiteral("_operate_label"));
    o.vert_comp_label = make_label(group, QLatin1String(greater), o.desc->pump ? QString() : p + QStringLiteral("_vert_comp_label"));
    o.horz_comp_label = make_label(group, QLatin1String(greater), o.desc->pump ? QString() : p + QStringLiteral("_horz_comp_label"));

    rows.add(QLatin1String(o.desc->name) + QStringLiteral(" control"), o.control);
    rows.add(QStringLiteral("Vertical Axis"), o.vert_axis);
    rows.add_wide(o.operate_label);
    rows.add(o.vert_axis_name, o.vert_comp_label);
    rows.add(nullptr, o.vert_axis_gt, o.vert_axis_units);
    rows.add(new QLabel(QStringLiteral("Engine Speed"), group), o.horz_comp_label);
    rows.add(nullptr, o.horz_axis_gt, new QLabel(QStringLiteral("RPM"), group));

    if (o.desc->pump) {
        const bool aux = o.desc->index == tbl_aux;
        QSpinBox* prime = make_spin(group, aux ? "pump_prime_delay" : "pump_prime_delay_2", write_limits::tick_delay, 0,
                                   false, aux ? "Delay before pump activation." : "Set this in the AUX tab.");
        if (!aux)
            prime->setToolTip(QStringLiteral("Set this in the AUX tab."));
        rows.add(QStringLiteral("Pump priming delay"), prime, QStringLiteral("ms"));
        (aux ? pump_prime_delay : pump_prime_delay_2) = prime;
    } else {
        o.act_delay = make_spin(group, "", write_limits::tick_delay, 0, false, "Delay before pump activation.");
        o.act_delay->setObjectName(p + QStringLiteral("_act_delay"));
        o.deact_delay = make_spin(group, "", write_limits::tick_delay, 0, false, "Delay before deactivation.");
        o.deact_delay->setObjectName(p + QStringLiteral("_deact_delay"));
        rows.add(QStringLiteral("Activation Delay"), o.act_delay, QStringLiteral("ms"));
        rows.add(QStringLiteral("Deactivation Delay"), o.deact_delay, QStringLiteral("ms"));
    }
    return group;
}

QWidget* main_form::build_output_live(output_form& o, QWidget* parent)
{
    const QString p = QLatin1String(o.desc->prefix);
    QGroupBox* group = make_group(parent, QStringLiteral("Live View"));
    form_rows rows(group);
    o.duty_live_value = make_readout(group, p + QStringLiteral("_duty_live_value"), 0, 100);
    o.horz_live_value = make_readout(group, p + QStringLiteral("_horz_live_value"), 0, 30000);
    o.vert_live_value = make_readout(group, p + QStringLiteral("_vert_live_value"), -100000.0, 100000.0, 1);
    o.vert_axis_name_2 = make_label(group, QStringLiteral("MAP Sensor"), p + QStringLiteral("_vert_axis_name_2"));
    o.vert_axis_units_2 = make_label(group, QStringLiteral("PSI"), p + QStringLiteral("_vert_axis_units_2"));
    rows.add(QStringLiteral("Duty"), o.duty_live_value, QStringLiteral("%"));
    rows.add(QStringLiteral("Engine Speed"), o.horz_live_value, QStringLiteral("RPM"));
    rows.add(o.vert_axis_name_2, o.vert_live_value, o.vert_axis_units_2);
    return group;
}
