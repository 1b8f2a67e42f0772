// Live analysis: the dwell map and the trail over each duty table, markers in a recording, the
// range selected on the chart with its statistics and export, and the conditions that start and
// stop a recording. The counting lives in live/ (dwell_analysis, record_trigger, range_stats);
// this file only wires it to the widgets.
#include "app/mainwindow.h"

#include "app/chart_panel.h"
#include "app/dwell_bar.h"
#include "app/main_form.h"
#include "app/prompts.h"
#include "device/rv8.h"
#include "graphs/log_graph.h"
#include "graphs/table_graph.h"
#include "live/background_jobs.h"
#include "live/dwell_analysis.h"
#include "live/dwell_csv.h"
#include "live/range_stats.h"
#include "model/conv.h"
#include "tables/duty_table.h"
#include "tables/dwell_shading.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QtDebug>

#include <cmath>

namespace {
// A surface takes some 14 ms to draw, a shaded grid a few: while live data arrives they are drawn at
// most this often.
constexpr qint64 surface_live_ms = 500;
constexpr int catch_up_ms = 100;

const rv8_log::e_data duty_columns[outputs::count] = {rv8_log::e_main_duty, rv8_log::e_aux_duty, rv8_log::e_gpo1_duty,
                                                      rv8_log::e_gpo2_duty};
const int current_columns[outputs::count] = {rv8_log::e_main_current, rv8_log::e_aux_current, -1, -1};

QString clock_text(qint64 stamp)
{
    return QDateTime::fromMSecsSinceEpoch(stamp).toString(QStringLiteral("hh:mm:ss.zzz"));
}

record_condition condition_of(const condition_row& row)
{
    record_condition c;
    c.channel = row.source->currentIndex();
    c.op = record_condition::comparison(row.comparison->currentIndex());
    c.value = row.value->value();
    c.hold_s = row.hold->value();
    return c;
}

void show_condition(const condition_row& row, const record_condition& c)
{
    row.source->setCurrentIndex(c.channel);
    row.comparison->setCurrentIndex(int(c.op));
    row.value->setValue(c.value);
    row.hold->setValue(c.hold_s);
}

QString setting_key(const output_form& o, const char* what)
{
    return QStringLiteral("Analysis/%1_%2").arg(QLatin1String(o.desc->prefix), QLatin1String(what));
}
}

void MainWindow::connect_analysis()
{
    rv8_worker* worker = controller->worker;
    analysis_clock.start();
    jobs = new background_jobs(this);
    dwell = new dwell_analysis(worker->get_log(), outputs::count, this);
    dwell_tick = new QTimer(this);
    dwell_tick->setObjectName(QStringLiteral("dwell_tick"));
    dwell_tick->setInterval(catch_up_ms);
    connect(dwell_tick, &QTimer::timeout, this, [this] {
        dwell->catch_up();
        // A pause that ended without a restart stops live data without log_stopped.
        if (!live_logging) {
            dwell_tick->stop();
            show_dwell(-1);
        }
        // The conditions read the units the window shows now, should the boost unit change.
        if (trigger.state() != record_trigger::idle)
            trigger_scale = current_scale();
        show_trigger_state();
    });
    connect(dwell, &dwell_analysis::changed, this, &MainWindow::show_dwell);
    trigger_status = new QLabel(this);
    trigger_status->setObjectName(QStringLiteral("trigger_status"));
    ui->statusBar->addPermanentWidget(trigger_status);

    // A new session empties the store first (a pause's restart is no new session); a parsed log
    // fills it anew.
    connect(worker, &rv8_worker::log_started, this, [this] {
        if (logging_paused || !live_logging)
            return;
        markers.clear();
        show_markers();
        ui->live_log_graph->clear_range();
        dwell->restart();
        dwell_tick->start();
    });
    connect(worker, &rv8_worker::log_stopped, this, [this] {
        if (logging_paused)
            return;
        dwell_tick->stop();
        dwell->catch_up();
        show_trigger_state();
        show_dwell(-1);
    });
    connect(worker, &rv8_worker::log_data_ready, this, &MainWindow::feed_trigger);
    connect(worker, &rv8_worker::parsed_log_file, this, [this] {
        ui->live_log_graph->clear_range();
        dwell->restart();
    });
    connect(worker, &rv8_worker::marker_added, this, [this](log_marker m, bool in_file) {
        markers << m;
        show_markers();
        const QString at = clock_text(m.stamp) + (m.note.isEmpty() ? QString() : QStringLiteral(" (") + m.note + ')');
        status(in_file ? QStringLiteral("Marker at %1 written to %2").arg(at, live_log_file_name)
                       : QStringLiteral("Marker at %1, not in a file: Log to File is not writing").arg(at));
    });
    connect(worker, &rv8_worker::markers_read, this, [this](QList<log_marker> read) {
        markers = read;
        show_markers();
    });

    QAction* mark = new QAction(QStringLiteral("Marker"), this);
    mark->setObjectName(QStringLiteral("act_add_marker"));
    mark->setShortcut(QKeySequence(Qt::Key_M));
    mark->setStatusTip(QStringLiteral("Mark the newest record, with a note if you like (M)"));
    addAction(mark);
    ui->toolBar->addAction(mark);
    connect(mark, &QAction::triggered, this, &MainWindow::add_marker);
    chart_panel* panel = ui->live_chart_panel;
    connect(panel->add_marker, &QPushButton::clicked, this, &MainWindow::add_marker);
    connect(panel->markers, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { go_to_marker(item->data(Qt::UserRole).toLongLong()); });

    log_graph* graph = ui->live_log_graph;
    connect(graph, &log_graph::range_selected, this, &MainWindow::when_range_selected);
    connect(graph, &log_graph::range_cleared, this, [this] {
        dwell->clear_range();
        ui->live_chart_panel->clear_summary();
    });
    connect(panel->clear_range, &QPushButton::clicked, graph, &log_graph::clear_range);
    connect(panel->export_range, &QPushButton::clicked, this, &MainWindow::export_range);
    connect(ui->main_tab, &QTabWidget::currentChanged, this, [this] { show_dwell(-1); });

    connect_dwell_bars();
    connect_recording_conditions();
    read_analysis_settings();
}

void MainWindow::stop_analysis()
{
    // Their threads read the worker's store, which goes with the controller.
    delete dwell;
    dwell = nullptr;
    delete jobs;
    jobs = nullptr;
    dwell_tick->stop();
}

void MainWindow::connect_dwell_bars()
{
    for (int p = 0; p < outputs::count; ++p) {
        output_form& o = ui->out[size_t(p)];
        dwell_bar* bar = o.dwell;
        const auto redraw = [this, p] {
            surface_drawn[size_t(p)] = 0;
            show_dwell_on(p);
            save_analysis_settings();
        };
        connect(bar->show_map, &QCheckBox::toggled, this, redraw);
        connect(bar->minimum, qOverload<double>(&QDoubleSpinBox::valueChanged), this, redraw);
        connect(bar->trail, qOverload<int>(&QSpinBox::valueChanged), this, [this, p, redraw](int s) {
            dwell->set_trail_seconds(p, s);
            redraw();
        });
        connect(bar->reset, &QPushButton::clicked, this, [this, p] { dwell->reset(p); });
        connect(bar->export_csv, &QPushButton::clicked, this, [this, p] { export_dwell(p); });
        // The map follows the table's axes and load: new breakpoints or another source count it again.
        const auto axes_moved = [this, p] { QTimer::singleShot(0, this, [this, p] { refresh_dwell_table(p); }); };
        connect(o.table->model(), &QAbstractItemModel::headerDataChanged, this, axes_moved);
        connect(o.vert_axis, qOverload<int>(&QComboBox::currentIndexChanged), this, axes_moved);
        connect(ui->active_slope, qOverload<double>(&QDoubleSpinBox::valueChanged), this, axes_moved);
        connect(ui->active_intercept, qOverload<double>(&QDoubleSpinBox::valueChanged), this, axes_moved);
        axes_moved();
    }
}

void MainWindow::connect_recording_conditions()
{
    rv8_worker* worker = controller->worker;
    connect(ui->live_log_pre_trigger, qOverload<int>(&QSpinBox::valueChanged), this, [this, worker](int s) {
        worker->set_pre_trigger(s);
        save_analysis_settings();
    });
    // A change while armed applies from the next sample on.
    const auto changed = [this] {
        save_analysis_settings();
        const record_trigger::phase now = trigger.state();
        if (now == record_trigger::waiting && !trigger_plan().has_start)
            begin_log_to_file();
        else if (now == record_trigger::waiting || now == record_trigger::recording)
            arm_trigger(now == record_trigger::recording);
    };
    for (const condition_row* row : {&ui->live_log_start, &ui->live_log_stop}) {
        connect(row->enabled, &QCheckBox::toggled, this, changed);
        connect(row->source, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
        connect(row->comparison, qOverload<int>(&QComboBox::currentIndexChanged), this, changed);
        connect(row->value, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
        connect(row->hold, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    }
    connect(ui->live_log_event_group, &QGroupBox::toggled, this, changed);
    connect(ui->live_log_timer_stop, qOverload<int>(&QSpinBox::valueChanged), this, changed);
}

void MainWindow::read_analysis_settings()
{
    QSettings settings;
    for (output_form& o : ui->out) {
        o.dwell->show_map->setChecked(settings.value(setting_key(o, "dwell_map"), false).toBool());
        o.dwell->minimum->setValue(settings.value(setting_key(o, "dwell_minimum"), 0.5).toDouble());
        o.dwell->trail->setValue(settings.value(setting_key(o, "trail_seconds"), 5).toInt());
    }
    ui->live_log_pre_trigger->setValue(settings.value(QStringLiteral("LiveLog/pre_trigger_seconds"), 10).toInt());
    controller->worker->set_pre_trigger(ui->live_log_pre_trigger->value());
    ui->live_log_timer_stop->setValue(settings.value(QStringLiteral("LiveLog/stop_after_seconds"), 0).toInt());
    ui->live_log_event_group->setChecked(settings.value(QStringLiteral("LiveLog/event_based"), false).toBool());
    const struct {
        const condition_row& row;
        const char* key;
        const char* fallback;
    } rows[] = {{ui->live_log_start, "LiveLog/start_when", "rpm>3000 for 0.5"},
                {ui->live_log_stop, "LiveLog/stop_when", "rpm<1500 for 5"}};
    for (const auto& r : rows) {
        record_condition c;
        QString error;
        if (!record_condition::parse(settings.value(QLatin1String(r.key), QLatin1String(r.fallback)).toString(), &c, &error))
            record_condition::parse(QLatin1String(r.fallback), &c, &error);
        show_condition(r.row, c);
        r.row.enabled->setChecked(settings.value(QLatin1String(r.key) + QStringLiteral("_on"), true).toBool());
    }
}

void MainWindow::save_analysis_settings() const
{
    // Not while the window fills the fields itself: a half-read set would be written back.
    if (updating_fields)
        return;
    QSettings settings;
    for (const output_form& o : ui->out) {
        settings.setValue(setting_key(o, "dwell_map"), o.dwell->show_map->isChecked());
        settings.setValue(setting_key(o, "dwell_minimum"), o.dwell->minimum->value());
        settings.setValue(setting_key(o, "trail_seconds"), o.dwell->trail->value());
    }
    settings.setValue(QStringLiteral("LiveLog/pre_trigger_seconds"), ui->live_log_pre_trigger->value());
    settings.setValue(QStringLiteral("LiveLog/stop_after_seconds"), ui->live_log_timer_stop->value());
    settings.setValue(QStringLiteral("LiveLog/event_based"), ui->live_log_event_group->isChecked());
    settings.setValue(QStringLiteral("LiveLog/start_when"), condition_of(ui->live_log_start).text());
    settings.setValue(QStringLiteral("LiveLog/start_when_on"), ui->live_log_start.enabled->isChecked());
    settings.setValue(QStringLiteral("LiveLog/stop_when"), condition_of(ui->live_log_stop).text());
    settings.setValue(QStringLiteral("LiveLog/stop_when_on"), ui->live_log_stop.enabled->isChecked());
}

channel_scale MainWindow::current_scale() const
{
    return channel_scale(*conv, cust_ana_units, cust_anb_units);
}

dwell_source MainWindow::dwell_source_of(int position) const
{
    const output_form& o = ui->out[size_t(position)];
    dwell_source s;
    s.duty_column = duty_columns[position];
    s.current_column = current_columns[position];
    s.load_of_counts.resize(converter::adc_max + 1);
    switch (o.vert_axis->currentIndex()) {
    case 1:
    case 2:
        // The analog axes are in volts, as the cross-hair reads them.
        s.load_column = o.vert_axis->currentIndex() == 1 ? rv8_log::e_an1_adc : rv8_log::e_an2_adc;
        for (int c = 0; c <= converter::adc_max; ++c)
            s.load_of_counts[size_t(c)] = converter::adc2volt(c);
        break;
    default:
        s.load_column = rv8_log::e_map_adc;
        for (int c = 0; c <= converter::adc_max; ++c)
            s.load_of_counts[size_t(c)] = conv->adc2boost(quint16(c));
    }
    return s;
}

void MainWindow::refresh_dwell_table(int position)
{
    const output_form& o = ui->out[size_t(position)];
    dwell_axes axes;
    for (int i = 0; i < dwell_axes::size; ++i) {
        axes.rpm[size_t(i)] = o.table->horz_header_at(i);
        axes.load[size_t(i)] = o.table->vert_header_at(dwell_axes::size - 1 - i);
    }
    const dwell_source source = dwell_source_of(position);
    const dwell_map& now = dwell->map(position);
    if (now.axes().rpm == axes.rpm && now.axes().load == axes.load && now.source().load_column == source.load_column
        && now.source().load_of_counts == source.load_of_counts && now.source().duty_column == source.duty_column)
        return;
    dwell->set_table(position, axes, source);
}

void MainWindow::show_dwell(int table)
{
    for (int p = 0; p < outputs::count; ++p)
        if (table < 0 || table == p)
            show_dwell_on(p);
}

// Only the table in front is drawn; the others are when they come to the front.
void MainWindow::show_dwell_on(int position)
{
    output_form& o = ui->out[size_t(position)];
    if (!o.tab->isVisible())
        return;
    const QVector<QPointF> trail = live_logging ? dwell->trail(position).points() : QVector<QPointF>();
    o.table->set_trail(trail);
    // The trail moves with every count; the shading and the surface follow at a gentler pace.
    const qint64 now = analysis_clock.elapsed();
    if (live_logging && surface_drawn[size_t(position)] != 0 && now - surface_drawn[size_t(position)] < surface_live_ms)
        return;
    surface_drawn[size_t(position)] = now;
    const dwell_map& map = dwell->map(position);
    const bool on = o.dwell->show_map->isChecked();
    const double minimum = o.dwell->minimum->value();
    if (on)
        o.table->set_shading(dwell_shading::colours(map, minimum),
                             [this, position](int r, int c) { return dwell_shading::tip(dwell->map(position), r, c); });
    else if (o.table->shaded())
        o.table->set_shading({}, {});
    o.graph->set_overlay(on ? dwell_shading::heats(map, minimum) : QVector<double>(), trail);
}

void MainWindow::export_dwell(int position)
{
    const output_form& o = ui->out[size_t(position)];
    const QString path = choose_file(file_request::save_file, QStringLiteral("Export dwell map"), live_log_folder_name,
                                     QStringLiteral("CSV files (*.csv);;All (*.*)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    QStringList rows, columns;
    for (int i = 0; i < dwell_map::size; ++i) {
        const QTableWidgetItem* row = o.table->verticalHeaderItem(i);
        const QTableWidgetItem* column = o.table->horizontalHeaderItem(i);
        rows << (row ? row->text() : QString());
        columns << (column ? column->text() : QString());
    }
    const QByteArray text = dwell_csv(dwell->map(position), rows, columns, o.vert_axis_units->text());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit()) {
        status(QStringLiteral("Dwell map of %1 saved to %2").arg(QLatin1String(o.desc->name), path));
        return;
    }
    box_request box;
    box.text = QStringLiteral("Could not save the dwell map");
    box.informative = QStringLiteral("%1\n%2").arg(path, file.errorString());
    box.icon = QMessageBox::Warning;
    ask(box);
}

void MainWindow::add_marker()
{
    if (!live_logging) {
        status(QStringLiteral("Markers are placed on the newest record while live data arrives"));
        return;
    }
    // The record on screen when the key was pressed, not the one current once the note is typed.
    const qint64 stamp = latest_frame.timestamp;
    text_request request;
    request.title = QStringLiteral("Marker");
    request.label = QStringLiteral("Marker at %1. Note (optional):").arg(clock_text(stamp));
    request.parent = this;
    QString note;
    if (!prompter->text(request, &note))
        return;
    controller->worker->add_log_marker(stamp, note);
}

void MainWindow::show_markers()
{
    ui->live_log_graph->set_log_markers(markers);
    ui->live_chart_panel->set_markers(markers);
}

void MainWindow::go_to_marker(qint64 stamp)
{
    const QPointF at(double(stamp), 0);
    ui->live_log_graph->when_point_selected(at);
    if (live_logging)
        return;
    ui->live_log_graph->show_time(double(stamp));
    controller->worker->recall_frame_at(at);
}

void MainWindow::when_range_selected(double from, double to)
{
    const qint64 first = qint64(std::ceil(from));
    const qint64 last = qint64(std::floor(to));
    dwell->set_range(first, last);
    const rv8_log* log = &controller->worker->get_log();
    const channel_scale scale = current_scale();
    ui->live_chart_panel->range_duration->setText(QStringLiteral("Counting..."));
    jobs->run<range_summary>([log, first, last, scale] { return summarize_range(*log, first, last, scale); },
                             [this, scale](range_summary s) {
                                 const QPair<double, double> shown = ui->live_log_graph->range();
                                 // A newer selection has its own count coming.
                                 if (!ui->live_log_graph->has_range() || qint64(std::ceil(shown.first)) != s.from
                                     || qint64(std::floor(shown.second)) != s.to)
                                     return;
                                 ui->live_chart_panel->show_summary(s, scale);
                             });
}

void MainWindow::export_range()
{
    log_graph* graph = ui->live_log_graph;
    if (!graph->has_range()) {
        status(QStringLiteral("Select a range on the chart first: hold Shift and drag"));
        return;
    }
    const QList<int> channels = ui->live_chart_panel->chosen_channels();
    if (channels.isEmpty()) {
        status(QStringLiteral("Check the channels to export"));
        return;
    }
    const QString path = choose_file(file_request::save_file, QStringLiteral("Export range"), live_log_folder_name,
                                     QStringLiteral("CSV files (*.csv);;All (*.*)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    const qint64 from = qint64(std::ceil(graph->range().first));
    const qint64 to = qint64(std::floor(graph->range().second));
    const rv8_log* log = &controller->worker->get_log();
    const channel_scale scale = current_scale();
    status(QStringLiteral("Exporting the range to %1...").arg(path));
    jobs->run<QString>(
        [log, from, to, channels, scale, path] {
            QSaveFile file(path);
            if (file.open(QIODevice::WriteOnly) && write_range_csv(file, *log, from, to, channels, scale) && file.commit())
                return QString();
            return file.errorString().isEmpty() ? QStringLiteral("The file could not be written.") : file.errorString();
        },
        [this, path](QString error) {
            if (error.isEmpty()) {
                status(QStringLiteral("Range exported to %1").arg(path));
                return;
            }
            status(QStringLiteral("Could not export to %1: %2").arg(path, error));
            box_request box;
            box.text = QStringLiteral("Could not export the range");
            box.informative = QStringLiteral("%1\n%2").arg(path, error);
            box.icon = QMessageBox::Warning;
            ask(box);
        });
}

record_trigger::plan MainWindow::trigger_plan() const
{
    record_trigger::plan p;
    const bool events = ui->live_log_event_group->isChecked();
    p.has_start = events && ui->live_log_start.enabled->isChecked();
    p.start_when = condition_of(ui->live_log_start);
    p.has_stop = events && ui->live_log_stop.enabled->isChecked();
    p.stop_when = condition_of(ui->live_log_stop);
    if (ui->live_log_use_timer->isChecked())
        p.stop_after_s = ui->live_log_timer_stop->value();
    return p;
}

void MainWindow::arm_trigger(bool recording_now)
{
    const record_trigger::plan p = trigger_plan();
    trigger_scale = current_scale();
    if (recording_now && !p.has_stop && p.stop_after_s <= 0)
        trigger.disarm();
    else
        trigger.arm(p, recording_now);
    show_trigger_state();
}

void MainWindow::feed_trigger(const rv8_frame& frame)
{
    if (!live_logging)
        return;
    const record_trigger::phase before = trigger.state();
    if (before != record_trigger::waiting && before != record_trigger::recording)
        return;
    switch (trigger.feed(frame, trigger_scale)) {
    case record_trigger::start:
        trigger_start = frame.timestamp;
        set_log_to_file(true);
        break;
    case record_trigger::stop: {
        const bool again = trigger.state() == record_trigger::waiting;
        set_log_to_file(false);
        if (again)
            begin_log_to_file();
        else
            ui->act_live_log_to_file->setChecked(false); // the timed recording is complete
        break;
    }
    case record_trigger::none:
        break;
    }
}

void MainWindow::show_trigger_state()
{
    if (!trigger_status)
        return;
    const QString text = trigger.describe(trigger_scale);
    if (trigger_status->text() != text)
        trigger_status->setText(text);
}
