// The live read-outs on the Live View tab and under each duty table. Every sample passes through
// here, so this only formats numbers and moves highlights; the chart follows the worker itself.
#include "app/mainwindow.h"

#include "app/live_format.h"
#include "app/main_form.h"
#include "device/rv8.h"
#include "graphs/log_graph.h"
#include "model/conv.h"
#include "tables/duty_colours.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <QtDebug>

void MainWindow::clear_live_values()
{
    for (output_form& o : ui->out) {
        o.duty_live_value->setValue(0);
        o.horz_live_value->setValue(0);
        o.vert_live_value->setValue(0);
    }
    shown_duty.fill(-1);
    for (QLineEdit* text : {ui->live_rpm, ui->live_map, ui->live_main_duty, ui->live_main_current, ui->live_gpo2_duty,
                            ui->live_gpo1_duty, ui->live_gpi2_state, ui->live_gpi1_state, ui->live_battery_voltage,
                            ui->live_aux_duty, ui->live_aux_current, ui->live_an_b_voltage, ui->live_an_a_voltage})
        text->setText(QStringLiteral("0"));
    ui->live_aux_master->clear();
}

rv8_worker* MainWindow::unit_worker() const
{
    return controller->worker;
}

void MainWindow::connect_live_view()
{
    rv8_worker* worker = controller->worker;
    connect(worker, &rv8_worker::log_started, this, &MainWindow::when_log_started);
    connect(worker, &rv8_worker::log_stopped, this, &MainWindow::when_log_stopped);
    connect(worker, &rv8_worker::log_paused, this, &MainWindow::when_log_paused);
    connect(worker, &rv8_worker::log_data_ready, this, &MainWindow::when_log_data_ready);
    connect(worker, &rv8_worker::recall_data_ready, this, &MainWindow::when_recall_data_ready);
    connect(worker, &rv8_worker::parsed_log_file, this, &MainWindow::when_parsed_log_file);
    connect(worker, &rv8_worker::map_cal_data_ready, this, &MainWindow::when_map_cal_data_ready);
    frame_refresh = new QTimer(this);
    frame_refresh->setSingleShot(true);
    connect(frame_refresh, &QTimer::timeout, this, &MainWindow::show_latest_frame);
    connect_logging();
    connect_firmware();
    for (const char* name : live_format::readout_names)
        readout_widgets.push_back(findChild<QLineEdit*>(QLatin1String(name)));
}

void MainWindow::on_act_logging_triggered(bool checked)
{
    if (checked) {
        clear_live_logs();
        controller->worker->start_live_logging();
    } else {
        controller->worker->stop_live_logging(false);
    }
    // The action shows what the worker does, not what was clicked.
    ui->act_logging->setChecked(live_logging);
}

void MainWindow::clear_live_logs()
{
    controller->worker->clear_live_logs();
    ui->live_log_graph->clear_marker();
}

void MainWindow::when_log_paused(bool paused)
{
    if (paused) {
        logging_paused = true;
        resumed_in_pause = false;
        return;
    }
    logging_paused = false;
    // A pause that ended without a restart is a stop after all.
    if (!resumed_in_pause)
        when_log_stopped();
}

void MainWindow::when_log_started()
{
    if (logging_paused) {
        resumed_in_pause = true;
        return;
    }
    live_logging = true;
    ui->act_logging->setIcon(green_led);
    for (QWidget* w : live_widgets)
        if (w)
            w->setEnabled(true);
    ui->act_logging->setChecked(true);
    for (output_form& o : ui->out)
        o.table->set_highlight_visible(true);
    clear_live_values();
    if (ui->act_live_log_to_file->isChecked())
        begin_log_to_file();
}

void MainWindow::when_log_stopped()
{
    if (logging_paused)
        return;
    live_logging = false;
    frame_refresh->stop();
    ui->act_logging->setIcon(red_led);
    for (QWidget* w : live_widgets)
        if (w)
            w->setEnabled(false);
    ui->act_logging->setChecked(false);
    for (output_form& o : ui->out)
        o.table->set_highlight_visible(false);
    clear_live_values();
    set_log_to_file(false);
}

void MainWindow::when_log_data_ready(rv8_frame data)
{
    // The last record a stop reads arrives after log_stopped: it must not refill cleared,
    // disabled read-outs.
    if (!live_logging)
        return;
    // Nobody reads numbers changing 76 times a second, but every change repaints the panel: the
    // newest frame is shown at most every refresh_ms, and never later than that.
    latest_frame = data;
    if (frame_refresh->isActive())
        return;
    const qint64 since = shown_at.isValid() ? shown_at.elapsed() : refresh_ms;
    if (since >= refresh_ms)
        show_latest_frame();
    else
        frame_refresh->start(int(refresh_ms - since));
}

void MainWindow::show_latest_frame()
{
    shown_at.start();
    show_frame(latest_frame);
}

void MainWindow::when_recall_data_ready(rv8_frame data)
{
    if (live_logging)
        return;
    for (output_form& o : ui->out)
        o.table->set_highlight_visible(true);
    show_frame(data);
}

void MainWindow::show_frame(const rv8_frame& data)
{
    const auto texts = live_format::readouts(data, ui->live_display_format->currentIndex(), *conv);
    for (size_t i = 0; i < texts.size(); ++i)
        if (readout_widgets[i]->text() != texts[i])
            readout_widgets[i]->setText(texts[i]);
    const quint16 duties[outputs::count] = {data.main_duty, data.aux_duty, data.gpo1_duty, data.gpo2_duty};
    for (int p = 0; p < outputs::count; ++p)
        show_output_frame(p, data, duties[p]);
}

void MainWindow::show_output_frame(int position, const rv8_frame& data, quint16 duty)
{
    output_form& o = ui->out[size_t(position)];
    o.horz_live_value->setValue(data.rpm);
    const int percent = live_format::duty_percent(duty);
    // A new palette repaints the field: only when the duty moved.
    int& shown = shown_duty[size_t(position)];
    if (shown != percent) {
        shown = percent;
        o.duty_live_value->setValue(percent);
        QPalette palette = o.duty_live_value->palette();
        palette.setColor(QPalette::Base, duty_colours(quint8(percent)).background);
        o.duty_live_value->setPalette(palette);
    }
    const int source = o.vert_axis->currentIndex();
    switch (source) {
    case 0: {
        const double b = live_format::boost(data.map_adc, *conv);
        o.vert_live_value->setValue(b);
        o.table->set_highlight(data.rpm, b);
        break;
    }
    case 1:
    case 2: {
        const quint16 counts = qMin<quint16>(source == 1 ? data.an1_adc : data.an2_adc, converter::adc_max);
        o.vert_live_value->setValue(source == 1 ? conv->adc2ana_a(counts) : conv->adc2ana_b(counts));
        o.table->set_highlight(data.rpm, converter::adc2volt(counts));
        break;
    }
    default:
        qCritical() << "Unhandled vert axis" << source;
    }
}

void MainWindow::when_parsed_log_file()
{
    ui->live_log_graph->when_data_updated();
    finish_opening_log();
}
