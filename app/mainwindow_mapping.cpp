// Field mapping: settings between the model's raw numbers and 640-byte tables and the form's
// fields in the user's units, in both directions.
#include "app/mainwindow.h"

#include "app/main_form.h"
#include "app/prompts.h"
#include "device/rv8.h"
#include "graphs/log_graph.h"
#include "model/conv.h"
#include "model/param_units.h"
#include "model/write_rules.h"
#include "tables/duty_table.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QtDebug>

#include <cmath>
#include <vector>

namespace {
// The form field of each integer parameter a user edits.
const struct {
    int_index index;
    const char* field;
} int_fields[] = {
    {int_rpm_scaler, "pulses_per_rev"},     {int_pump_prime_delay, "pump_prime_delay"},
    {int_main_mode, "main_control"},        {int_aux_mode, "aux_control"},
    {int_gpo1_mode, "gpo1_control"},        {int_gpo2_mode, "gpo2_control"},
    {int_gpi1_mode, "gpi1_control"},        {int_gpi1_request, "gpi1_request"},
    {int_gpi2_mode, "gpi2_control"},        {int_gpi2_request, "gpi2_request"},
    {int_base_slope, "base_slope"},         {int_base_intercept, "base_intercept"},
    {int_base_atm, "base_atm"},             {int_active_slope, "active_slope"},
    {int_active_intercept, "active_intercept"}, {int_active_atm, "active_atm"},
    {int_active_deadband, "active_deadband"}, {int_min_boost, "min_boost"},
    {int_max_boost, "max_boost"},           {int_min_ana_input, "min_an1_input"},
    {int_max_ana_input, "max_an1_input"},   {int_min_anb_input, "min_an2_input"},
    {int_max_anb_input, "max_an2_input"},   {int_gpi1_act_delay, "gpi1_act_delay"},
    {int_gpi1_deact_delay, "gpi1_deact_delay"}, {int_gpi2_act_delay, "gpi2_act_delay"},
    {int_gpi2_deact_delay, "gpi2_deact_delay"},
};

const char* field_of(int_index i)
{
    for (const auto& f : int_fields)
        if (f.index == i)
            return f.field;
    return nullptr;
}

double value_of(const QWidget* w)
{
    if (auto* real = qobject_cast<const QDoubleSpinBox*>(w))
        return real->value();
    if (auto* whole = qobject_cast<const QSpinBox*>(w))
        return whole->value();
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentIndex();
    return 0;
}

void show_value(QWidget* w, double value)
{
    const QSignalBlocker quiet(w);
    if (auto* real = qobject_cast<QDoubleSpinBox*>(w))
        real->setValue(value);
    else if (auto* whole = qobject_cast<QSpinBox*>(w))
        whole->setValue(int(std::lround(value)));
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setCurrentIndex(value < combo->count() ? int(value) : -1);
}

bool is_mode(int_index i)
{
    return i >= int_main_mode && i <= int_gpi2_request && i != int_gpi1_request && i != int_gpi2_request;
}

bool is_calibration(int_index i)
{
    return i >= int_base_slope && i <= int_active_deadband;
}

void put16(QByteArray& a, int offset, quint32 v)
{
    a[offset] = char((v >> 8) & 0xFF);
    a[offset + 1] = char(v & 0xFF);
}

quint16 get16(const QByteArray& a, int offset)
{
    return quint16((quint8(a[offset]) << 8) | quint8(a[offset + 1]));
}

quint8 xor_of(const QByteArray& a, int length)
{
    quint8 x = 0;
    for (int k = 0; k < length; ++k)
        x ^= quint8(a[k]);
    return x;
}

// Differ by a relative 1e-6 or more.
bool differs(double now, double next)
{
    const double mean = (now + next) / 2;
    return mean == 0 ? now != next : std::fabs(next - now) / std::fabs(mean) >= 1e-6;
}

QString general(double v)
{
    return QString::number(v, 'g', 15);
}
}

quint32 MainWindow::field_to_int(int_index i)
{
    switch (i) {
    case int_variant:
        return quint32(unit_variant);
    case int_gui_version:
        return version_number;
    case int_fw_version:
        return fw_version;
    default:
        break;
    }
    const char* name = field_of(i);
    if (!name)
        return 0;
    QWidget* field = findChild<QWidget*>(QLatin1String(name));
    if (is_mode(i) && static_cast<QComboBox*>(field)->currentIndex() < 0 && unknown_modes.contains(i))
        return unknown_modes.value(i);
    return param_unit_of(i).to_raw(value_of(field), *conv);
}

void MainWindow::int_to_field(int_index i, quint32 value)
{
    if (i == int_gpi1_state || i == int_gpi2_state) {
        (i == int_gpi1_state ? ui->live_gpi1_state : ui->live_gpi2_state)->setText(QString::number(value));
        return;
    }
    if (i == int_variant) {
        unit_variant = value == 0 ? variant_rv8_sx : variant_rv8_s;
        const double max_current = write_limits::over_current(unit_variant).max;
        ui->main_overcurrent_limit->setMaximum(max_current);
        ui->aux_overcurrent_limit->setMaximum(max_current);
        return;
    }
    const char* name = field_of(i);
    if (!name)
        return;
    QWidget* field = findChild<QWidget*>(QLatin1String(name));
    const double shown = param_unit_of(i).to_user(value, *conv);
    if (is_mode(i)) {
        unknown_modes.remove(i);
        if (shown >= static_cast<QComboBox*>(field)->count()) {
            unknown_modes.insert(i, value);
            if (i == int_gpo1_mode && (value & 0x0F) == 8)
                qWarning("This version of the GUI does not support PID control for GPO1");
        }
    }
    show_value(field, shown);
    if (i == int_pump_prime_delay)
        show_value(ui->pump_prime_delay_2, shown);
}

QByteArray MainWindow::gui_to_byteArray(table_index i)
{
    if (i < tbl_aux || i > tbl_gpo2) {
        qCritical() << "Unhandled table" << i;
        return QByteArray();
    }
    const output_form& o = ui->out[outputs::position_of(i)];
    const int source = o.vert_axis->currentIndex();
    if (source < 0 || source > 2) {
        qCritical() << "Unhandled vert axis" << source;
        return QByteArray();
    }
    auto vertical_counts = [&](double v) -> quint32 { return source == 0 ? conv->boost2adc(v) : conv->volt2adc(v); };
    QByteArray data = o.table->to_byteArray();
    data.resize(640);
    std::fill(data.begin() + 512, data.end(), 0);
    for (int row = o.table->rowCount() - 1, k = 0; row >= 0; --row, ++k)
        put16(data, 512 + 2 * k, vertical_counts(o.table->vert_header_at(row)) & 0x3FF);
    for (int col = 0; col < o.table->columnCount(); ++col)
        put16(data, 544 + 2 * col, quint32(o.table->horz_header_at(col)));
    data[608] = char(0xCC);
    if (o.desc->pump) {
        const bool main = i == tbl_main;
        put16(data, 609, percent_to_counts((main ? ui->main_min_duty : ui->aux_min_duty)->value()));
        put16(data, 613, conv->current2adc((main ? ui->main_undercurrent_limit : ui->aux_undercurrent_limit)->value()));
        put16(data, 615, conv->current2adc((main ? ui->main_overcurrent_limit : ui->aux_overcurrent_limit)->value()));
        const quint32 loops = quint32((main ? ui->main_time_delay : ui->aux_time_delay)->value());
        put16(data, 617, loops >> 16);
        put16(data, 619, loops & 0xFFFF);
    } else {
        put16(data, 609, quint32(std::lround(o.act_delay->value() / 13.0)));
        put16(data, 611, quint32(std::lround(o.deact_delay->value() / 13.0)));
    }
    put16(data, 630, vertical_counts(o.vert_axis_gt->value()) & 0x3FF);
    put16(data, 632, quint32(o.horz_axis_gt->value()));
    data[638] = char(encode_vertical_source(source));
    data[639] = char(xor_of(data, 639));
    return data;
}

void MainWindow::byteArray_to_gui(table_index i, QByteArray data)
{
    if (data.size() != 640) {
        qCritical() << "data not the right size, should be 640, is actually" << data.size();
        return;
    }
    const quint8 sum = xor_of(data, 639);
    if (sum != quint8(data[639])) {
        qCritical() << "data checksum incorrect, read again! calculated=" << sum << "read=" << quint8(data[639]);
        return;
    }
    if (i < tbl_aux || i > tbl_gpo2) {
        qCritical() << "Unhandled table" << i;
        return;
    }
    const output_form& o = ui->out[outputs::position_of(i)];
    o.table->from_byteArray(data.left(512));
    std::vector<QSignalBlocker> quiet;
    quiet.reserve(12);
    for (const output_form& each : ui->out)
        quiet.emplace_back(each.vert_axis);
    for (QObject* field : std::initializer_list<QObject*>{ui->max_boost, ui->min_boost, ui->min_an1_input, ui->max_an1_input,
                                                         ui->min_an2_input, ui->max_an2_input, ui->max_engine_speed})
        quiet.emplace_back(field);

    int source = decode_vertical_source(quint8(data[638]));
    if (source == 3) {
        qWarning() << "Unhandled vert axis" << source << "will be replaced with MAP sensor";
        data[638] = char(vert_source_map);
        source = 0;
    }
    const quint16 first = get16(data, 512) & 0x3FF;
    const quint16 last = get16(data, 542) & 0x3FF;
    if (source == 0) {
        ui->min_boost->setValue(conv->adc2boost(first));
        ui->max_boost->setValue(conv->adc2boost(last));
    } else {
        (source == 1 ? ui->min_an1_input : ui->min_an2_input)->setValue(converter::adc2volt(qMin<int>(first, 1023)));
        (source == 1 ? ui->max_an1_input : ui->max_an2_input)->setValue(converter::adc2volt(qMin<int>(last, 1023)));
    }
    if (const quint16 rpm0 = get16(data, 544)) {
        qWarning() << "Horizontal minimum is not 0:" << rpm0;
        qWarning().noquote() << "Table '" + table_names.value(i) + "' generated by the GUI won't line up 100% when writing back to the device";
    }
    const int max_rpm = get16(data, 574);
    ui->max_engine_speed->setValue(max_rpm);
    ui->live_log_graph->scale_rpm_axis(max_rpm);
    o.vert_axis->setCurrentIndex(source);
    show_vert_source(o, source);
    for (table_index t : {tbl_main, tbl_aux, tbl_gpo1, tbl_gpo2})
        set_table_axis(t);
    if (quint8(data[608]) == 0xCC)
        decode_trailer(o, data);
}

void MainWindow::decode_trailer(const output_form& o, const QByteArray& data)
{
    auto set = [](QWidget* w, double v) { show_value(w, v); };
    if (o.desc->pump) {
        const bool main = o.desc->index == tbl_main;
        set(main ? ui->main_min_duty : ui->aux_min_duty, counts_to_percent(get16(data, 609)));
        set(main ? ui->main_undercurrent_limit : ui->aux_undercurrent_limit, converter::adc2amps(get16(data, 613) & 0x3FF));
        set(main ? ui->main_overcurrent_limit : ui->aux_overcurrent_limit, converter::adc2amps(get16(data, 615) & 0x3FF));
        set(main ? ui->main_time_delay : ui->aux_time_delay, (quint32(get16(data, 617)) << 16) | get16(data, 619));
    } else {
        set(o.act_delay, get16(data, 609) * 13.0);
        set(o.deact_delay, get16(data, 611) * 13.0);
    }
    const quint16 threshold = get16(data, 630) & 0x3FF;
    set(o.vert_axis_gt, o.vert_axis->currentIndex() == 0 ? conv->adc2boost(threshold) : converter::adc2volt(threshold));
    set(o.horz_axis_gt, get16(data, 632));
}

bool MainWindow::ask_calibration(const QList<quint32>& ints, bool factory)
{
    struct item {
        QDoubleSpinBox* field;
        double next;
        int decimals; // -1: shortest general form
    };
    QList<item> items;
    if (factory)
        items = {{ui->base_slope, ints.value(int_base_slope) / 1000.0, 3},
                 {ui->base_intercept, ints.value(int_base_intercept) / 1000.0, 3},
                 {ui->base_atm, double(ints.value(int_base_atm)), -1}};
    else
        items = {{ui->active_slope, ints.value(int_active_slope) / 1000.0, 3},
                 {ui->active_intercept, ints.value(int_active_intercept) / 1000.0, 3},
                 {ui->active_atm, double(ints.value(int_active_atm)), -1},
                 {ui->active_deadband, double(conv->adc2deadband(quint16(qMin(ints.value(int_active_deadband), 0xFFFFu)))), -1}};
    bool any = false;
    for (const item& it : items)
        any = any || differs(it.field->value(), it.next);
    if (!any)
        return false;
    auto text = [](double v, int decimals) { return decimals < 0 ? general(v) : QString::number(v, 'f', decimals); };
    QString informative = factory ? QStringLiteral("Factory Defaults:\n\tSlope:\t\t%1 to %2\n\tIntercept:\t%3 to %4\n\tAtm:\t\t%5 to %6\n\n"
                                                   "Note that these are written on the MAP sensor you received in your kit (if using a kit from Vantrel).\n\n"
                                                   "These are not used for calculating 'real-unit' (PSI, Voltage, etc), they are only used for the Current Active > Set to Defaults button.")
                                  : QStringLiteral("Current Active:\n\tSlope:\t\t%1 to %2\n\tIntercept:\t%3 to %4\n\tAtm:\t\t%5 to %6\n\tDeadband:\t%7 to %8\n\n"
                                                   "Note that if you received a bnini or RV8-SX unit from another person and you do NOT use these new map cal values, your calculated 'real-unit' values (PSI, Voltage, etc) will not be identical to the person who made the bnini or who originally programmed the RV8-SX unit.");
    for (const item& it : items)
        informative = informative.arg(text(it.field->value(), it.decimals), text(it.next, it.decimals));
    box_request box;
    box.text = factory ? QStringLiteral("Do you want to overwrite your FACTORY DEFAULT map calibration values?")
                       : QStringLiteral("Do you want to overwrite your CURRENT ACTIVE map calibration values?");
    box.informative = informative;
    box.icon = QMessageBox::Question;
    box.buttons = QMessageBox::Yes | QMessageBox::No;
    box.default_button = QMessageBox::No;
    return ask(box) == QMessageBox::Yes;
}

void MainWindow::apply_calibration(const QList<quint32>& ints, bool factory, bool active)
{
    if (factory) {
        for (int_index i : {int_base_slope, int_base_intercept, int_base_atm})
            int_to_field(i, ints.value(i));
        conv->set_base_intercept(ui->base_intercept->value());
        conv->set_base_atm(quint16(ui->base_atm->value()));
    }
    if (active) {
        for (int_index i : {int_active_slope, int_active_intercept, int_active_atm, int_active_deadband})
            int_to_field(i, ints.value(i));
        conv->set_act_slope(ui->active_slope->value());
        conv->set_act_deadband(ui->active_deadband->value());
        // The stored intercept wins over the one the atmosphere would give.
        conv->set_act_atm(ui->active_atm->value());
        conv->set_act_intercept(ui->active_intercept->value());
        const QSignalBlocker quiet(ui->active_intercept);
        ui->active_intercept->setValue(conv->act_intercept());
    }
}

void MainWindow::vars_to_fields(QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim>)
{
    updating_fields = true;
    const struct {
        int_index index;
        double value;
        QDoubleSpinBox* field;
        const char* message;
    } ranges[] = {
        {int_base_slope, ints.value(int_base_slope) / 1000.0, ui->base_slope, "Read base slope out of range:"},
        {int_base_intercept, ints.value(int_base_intercept) / 1000.0, ui->base_intercept, "Read base intercept out of range"},
        {int_base_atm, double(ints.value(int_base_atm)), ui->base_atm, "Read base atmosphere out of range"},
        {int_active_slope, ints.value(int_active_slope) / 1000.0, ui->active_slope, "Read act slope out of range"},
        {int_active_intercept, ints.value(int_active_intercept) / 1000.0, ui->active_intercept, "Read act intercept out of range"},
        {int_active_atm, double(ints.value(int_active_atm)), ui->active_atm, "Read act atmosphere out of range"},
        {int_active_deadband, double(conv->adc2deadband(quint16(qMin(ints.value(int_active_deadband), 0xFFFFu)))),
         ui->active_deadband, "Read act deadband out of range"},
    };
    for (const auto& r : ranges)
        if (r.value < r.field->minimum() || r.value > r.field->maximum())
            qWarning() << r.message << r.value;
    const bool factory = ask_calibration(ints, true);
    const bool active = ask_calibration(ints, false);
    // A unit does not store the form's ranges: from a read they come as an empty range, which
    // would leave an input whose tables have no span. Such a pair keeps the form's values.
    auto empty_range = [&ints](int i) {
        const bool min = i == int_min_boost || i == int_min_ana_input || i == int_min_anb_input;
        const bool max = i == int_max_boost || i == int_max_ana_input || i == int_max_anb_input;
        return (min && ints.value(i + 1) <= ints.value(i)) || (max && ints.value(i) <= ints.value(i - 1));
    };
    for (int i = 0; i < int_gpi2_deact_delay + 1 && i < ints.size(); ++i)
        if (!is_calibration(int_index(i)) && !empty_range(i))
            int_to_field(int_index(i), ints[i]);
    apply_calibration(ints, factory, active);
    for (table_index t : {tbl_aux, tbl_main, tbl_gpo1, tbl_gpo2})
        if (t < tables.size())
            byteArray_to_gui(t, tables[t]);
    show_control_modes();
    updating_fields = false;
}

void MainWindow::fields_to_vars()
{
    written_tables = changed_tables;
    written_ints = changed_ints;
    sent_tables.clear();
    sent_ints.clear();
    hand_over_changes(true);
}

void MainWindow::hand_over_changes(bool for_write)
{
    rv8_worker* worker = controller->worker;
    for (table_index t : qAsConst(changed_tables)) {
        const QByteArray bytes = gui_to_byteArray(t);
        worker->add_field_to_var(bytes, t);
        if (for_write)
            sent_tables[t] = bytes;
    }
    changed_tables.clear();
    for (int_index i : qAsConst(changed_ints)) {
        if (i == int_gpi1_state || i == int_gpi2_state)
            continue;
        const quint32 value = field_to_int(i);
        if (i == int_base_slope || i == int_base_intercept || i == int_base_atm)
            qWarning().noquote() << "Writing" << QString::fromLatin1(field_of(i)) << "to" << value;
        worker->add_field_to_var(value, i);
        if (for_write)
            sent_ints[i] = value;
    }
    changed_ints.clear();
    changed_trims.clear();
}

void MainWindow::all_fields_to_vars()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { all_fields_to_vars(); }, Qt::QueuedConnection);
        return;
    }
    clear_change_sets();
    controller->worker->remove_all_sets();
    add_all_to_set(true);
    // Not fields_to_vars: a Write still running must keep what it sent, to mark it again should it fail.
    hand_over_changes(false);
}

void MainWindow::end_file_snapshot()
{
    controller->worker->remove_all_sets();
    // Held factory edits are still the user's to write.
    add_all_to_set();
}
