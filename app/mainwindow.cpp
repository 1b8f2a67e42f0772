// Construction in the order the window's collaborators depend on each other, and the six
// application settings read at start and written at the end.
#include "app/mainwindow.h"

#include "app/fw_program_status.h"
#include "app/main_form.h"
#include "app/prompts.h"
#include "device/rv8.h"
#include "graphs/live_curves.h"
#include "graphs/log_graph.h"
#include "graphs/table_graph.h"
#include "model/conv.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QtDebug>

namespace {
const char* const key_debug_log = "MainWindow/debug_log_file_name";
const char* const key_settings_file = "MainWindow/settings_file_name";
const char* const key_log_folder = "MainWindow/live_log_folder_name";
const char* const key_boost_units = "MainWindow/boost_units";
const char* const key_cust_ana = "MainWindow/cust_ana_file_name";
const char* const key_cust_anb = "MainWindow/cust_anb_file_name";

QString documents()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(new main_form), controller(new rv8_controller)
{
    own_prompts = std::make_unique<prompts>();
    prompter = own_prompts.get();
    qRegisterMetaType<QtMsgType>("QtMsgType");

    version_number = pack_version(QCoreApplication::applicationVersion());
    qInfo().noquote() << "Brennix version" << QCoreApplication::applicationVersion()
                      << QString::number(version_number, 16);

    ui->setupUi(this);
    live_widgets = {ui->live_rpm, ui->live_map, ui->live_main_duty, ui->live_main_current, ui->live_gpo2_duty,
                    ui->live_gpo1_duty, ui->live_gpi2_state, ui->live_gpi1_state, ui->live_battery_voltage,
                    ui->live_aux_master, ui->live_aux_duty, ui->live_aux_current, ui->live_an_b_voltage,
                    ui->live_an_a_voltage};
    for (auto p : {outputs::gpo2, outputs::gpo1, outputs::aux, outputs::main}) {
        const output_form& o = ui->out[p];
        live_widgets << o.vert_live_value << o.horz_live_value << o.duty_live_value;
    }
    ui->act_rw_debug->setVisible(false);
    ui->act_rw_debug->setEnabled(false);
    ui->menuSettings->menuAction()->setVisible(false);
    ui->menuSettings->setEnabled(false);

    conv = new converter;
    conv->setParent(this);
    connect_worker();
    connect_live_view();
    connect_analysis();
    connect_tables_and_graphs();
    connect_form_checks();
    connect_history();
    connect_overrides();
    connect_compare();
    create_status_widgets();
    set_fields_to_defaults();
    init_tables();
    read_app_settings();
    add_chart_curves();
    register_ftdi_event();
    updating_fields = false;
    history->rebase();

    fw_status_dialog = new fw_program_status(this);
    connect(controller->worker, &rv8_worker::fw_progress, fw_status_dialog, &fw_program_status::program_progress);
    connect(controller->worker, &rv8_worker::reset_progress, fw_status_dialog, &fw_program_status::reset_progress);

    // Once, after every widget exists and is named: a second call would connect every slot twice.
    QMetaObject::connectSlotsByName(this);
}

MainWindow::~MainWindow()
{
    // Queued before the controller goes, which lets the worker send them before it closes the link.
    reset_all_overrides(QStringLiteral("the window closed"));
    // So that a message from a closing thread never reaches a view being deleted.
    set_log_window(nullptr);
    write_app_settings();
    stop_analysis();
    delete controller;
    delete ui;
}

quint32 MainWindow::pack_version(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const quint32 major = parts.value(0).toUInt();
    const quint32 minor = parts.value(1).toUInt();
    const quint32 patch = parts.value(2).toUInt();
    return (major << 24) | ((minor & 0xFFFF) << 8) | (patch & 0xFF);
}

QString MainWindow::title_base() const
{
    return QCoreApplication::organizationName() + QLatin1Char(' ') + QCoreApplication::applicationName()
           + QStringLiteral(" v") + QCoreApplication::applicationVersion();
}

void MainWindow::set_prompts(prompts* replacement)
{
    prompter = replacement ? replacement : own_prompts.get();
}

QMessageBox::StandardButton MainWindow::ask(const box_request& request)
{
    return prompter->ask(request);
}

bool MainWindow::ask_number(const QString& title, const QString& label, double value, double min, double max, double* out)
{
    number_request request;
    request.title = title;
    request.label = label;
    request.value = value;
    request.min = min;
    request.max = max;
    request.parent = this;
    return prompter->number(request, out);
}

QString MainWindow::choose_file(file_request::kind_t kind, const QString& caption, const QString& start,
                                const QString& filter, const QString& default_suffix)
{
    file_request request;
    request.default_suffix = default_suffix;
    request.kind = kind;
    request.parent = this;
    request.caption = caption;
    request.start = start;
    request.filter = filter;
    return prompter->choose(request);
}

void MainWindow::connect_worker()
{
    rv8_worker* worker = controller->worker;
    connect(worker, &rv8_worker::opened, this, &MainWindow::when_device_opened);
    connect(worker, &rv8_worker::closed, this, &MainWindow::when_device_closed);
    connect(worker, &rv8_worker::fw_progress, this, &MainWindow::when_fw_progress);
    connect(worker, &rv8_worker::read_data, this, &MainWindow::when_read_data);
    connect(worker, &rv8_worker::write_outcome, this, &MainWindow::when_write_outcome);
    connect(worker, &rv8_worker::wrote_data, this, &MainWindow::when_wrote_data);
    connect(worker, &rv8_worker::settings_loaded, this, &MainWindow::when_settings_loaded);
    connect(worker, &rv8_worker::read_file, this, &MainWindow::when_read_file);
    connect(worker, &rv8_worker::log_data_ready, ui->live_log_graph, &log_graph::when_data_updated);
    connect(ui->live_log_graph, &log_graph::point_selected, worker, &rv8_worker::recall_frame_at);

    // The "Log to file" button and the "Log to File" action are one control.
    connect(ui->live_log_to_file, &QPushButton::clicked, this, [this] {
        if (ui->act_live_log_to_file->isEnabled())
            ui->act_live_log_to_file->toggle();
        ui->live_log_to_file->setChecked(ui->act_live_log_to_file->isChecked());
    });
    connect(ui->act_live_log_to_file, &QAction::toggled, ui->live_log_to_file, &QPushButton::setChecked);
}

void MainWindow::connect_tables_and_graphs()
{
    for (output_form& o : ui->out) {
        o.graph->data_resize(o.table->columnCount(), o.table->rowCount());
        connect(o.table, &duty_table::many_cells_updated, o.graph, &table_graph::set_values);
        o.table->conv = conv;
    }
    connect(ui->max_engine_speed, qOverload<int>(&QSpinBox::valueChanged), ui->live_log_graph,
            &log_graph::scale_rpm_axis);
}

void MainWindow::create_status_widgets()
{
    red_led = QIcon(QStringLiteral(":/icon/redled.ico"));
    green_led = QIcon(QStringLiteral(":/icon/greenled.ico"));
    yellow_led = QIcon(QStringLiteral(":/icon/yellowled.ico"));
    led_label = new QLabel(this);
    led_label->setObjectName(QStringLiteral("connection_led"));
    set_led(led_label, red_led);
    connection_status = new QLabel(QStringLiteral("Not Connected"), this);
    connection_status->setObjectName(QStringLiteral("connection_status"));
    ui->statusBar->addPermanentWidget(led_label);
    ui->statusBar->addPermanentWidget(connection_status);
    ui->act_write->setIcon(green_led);
    ui->act_live_log_to_file->setIcon(red_led);
}

void MainWindow::set_led(QLabel* label, const QIcon& icon)
{
    label->setPixmap(icon.pixmap(16, 16));
}

void MainWindow::read_app_settings()
{
    QSettings settings;
    {
        QMutexLocker lock(&log_file_lock);
        debug_log_file_name = settings.value(key_debug_log, documents() + QStringLiteral("/rv8_debug_log.txt")).toString();
    }
    ui->debug_log_file_name->setText(debug_log_file_name);
    settings_file_name = settings.value(key_settings_file, documents() + QStringLiteral("/rv8_settings.bnini")).toString();
    ui->act_save->setStatusTip(QStringLiteral("Save this settings file (%1)").arg(settings_file_name));
    live_log_folder_name = settings.value(key_log_folder, documents()).toString();
    ui->live_log_folder->setText(live_log_folder_name);
    const int unit = ui->boost_select->findText(settings.value(key_boost_units, QStringLiteral("PSI")).toString());
    if (unit > 0) {
        ui->boost_select->setCurrentIndex(unit);
        on_boost_select_currentIndexChanged(unit);
    }
    cust_ana_file_name = settings.value(key_cust_ana).toString();
    cust_anb_file_name = settings.value(key_cust_anb).toString();
    // After construction, so that a file that no longer loads is reported over a window that exists.
    QTimer::singleShot(0, this, &MainWindow::load_stored_conversions);
}

void MainWindow::write_app_settings() const
{
    QSettings settings;
    settings.setValue(key_debug_log, debug_log_file_name);
    settings.setValue(key_settings_file, settings_file_name);
    settings.setValue(key_log_folder, live_log_folder_name);
    settings.setValue(key_boost_units, ui->boost_select->currentText());
    settings.setValue(key_cust_ana, cust_ana_file_name);
    settings.setValue(key_cust_anb, cust_anb_file_name);
}

void MainWindow::add_chart_curves()
{
    const rv8_worker* worker = controller->worker;
    add_live_curves(*ui->live_log_graph, worker->get_log(), worker->get_file_marks());
}
