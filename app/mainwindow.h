#pragma once
// The main window. One class, as the window's flows name it, split over one source file per flow:
// mainwindow.cpp (construction, application settings), mainwindow_log.cpp (debug log),
// mainwindow_connection.cpp (connection lifecycle), mainwindow_fields.cpp (defaults and table
// axes), mainwindow_live.cpp (live read-outs).

#include "app/form_history.h"
#include "app/prompts.h"
#include "device/d2xx/ftd2xx.h"
#include "live/live_channels.h"
#include "live/log_marker.h"
#include "live/record_trigger.h"
#include "live/rv8_frame.h"
#include "model/ids.h"
#include "model/settings_diff.h"
#include "model/unit_settings.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QMessageBox>
#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QTimer;
class QSpinBox;
class background_jobs;
class converter;
class dwell_analysis;
struct dwell_source;
class fw_program_status;
class compare_dialog;
class hotplug_watcher;
class override_book;
class prompts;
class restore_points_dialog;
class rv8_controller;
class rv8_worker;
struct box_request;
struct main_form;
struct output_form;

class MainWindow : public QMainWindow, private form_access {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window the process-wide message handler forwards to, null while there is none.
    static void set_log_window(MainWindow* window);
    static void message_handler(QtMsgType type, const QMessageLogContext& context, const QString& message);
    void debug_message_handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    // Live view and log triggers: the worker, for benchmarks and tools that drive the unit beside
    // the window (starting live data without emptying the store first).
    rv8_worker* unit_worker() const;

    // Tests answer the window's questions through their own prompts; the window keeps ownership
    // of its default one only.
    void set_prompts(prompts* replacement);

    void set_device_controls_enabled(bool connected);
    void set_connection_status(quint16 fw_version, rv8_variant variant);
    void clear_live_values();
    void register_ftdi_event();
    void set_fields_to_defaults();
    void init_tables();
    void set_table_axis(table_index i);

    quint32 get_version_number() const { return version_number; }
    bool is_device_connected() const { return device_connected; }

    // Change tracking: what Write sends. Marking does nothing while the window fills its own fields.
    void add_to_set(table_index i);
    void add_to_set(int_index i);
    void add_to_set(adc_trim_index i);
    void remove_from_set(int_index i);
    void add_all_to_set();
    void clear_change_sets();
    bool has_changes_pending() const { return changes_pending; }
    // Hands every field named in the change sets to the worker's settings model.
    void fields_to_vars();
    // Every field into the worker's model, all marked; queues itself when called from another thread.
    // Settings files keep the factory calibration, so it is marked too; call end_file_snapshot()
    // once the file operation has been asked for, so a later Write sends it only while Edit
    // Defaults is held.
    void all_fields_to_vars();
    void end_file_snapshot();
    // Commits an open cell editor or a half-typed field, as leaving it would.
    void commit_pending_edit();

    // Settings form: field mapping
    QByteArray gui_to_byteArray(table_index i);
    void byteArray_to_gui(table_index i, QByteArray data);
    void vars_to_fields(QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims);

public slots:
    void on_act_reconnect_triggered();
    void on_open_debug_log_file_clicked();
    void on_act_rw_debug_toggled(bool checked);
    void when_update_log(QtMsgType type, const QString& formatted);
    void when_device_opened(QString serial_number, quint16 fw_version, rv8_variant variant);
    void when_device_closed();
    void when_fw_progress(int progress);

    // Settings form: validation and interlocks
    void on_max_an1_input_valueChanged(double value);
    void on_min_an1_input_valueChanged(double value);
    void on_max_an2_input_valueChanged(double value);
    void on_min_an2_input_valueChanged(double value);
    void on_min_boost_editingFinished();
    void on_max_boost_editingFinished();
    void on_max_engine_speed_editingFinished();
    void on_pulses_per_rev_editingFinished();
    void on_pump_prime_delay_editingFinished();
    void on_gpi1_act_delay_editingFinished();
    void on_gpi1_deact_delay_editingFinished();
    void on_gpi2_act_delay_editingFinished();
    void on_gpi2_deact_delay_editingFinished();
    void on_main_control_currentIndexChanged(int index);
    void on_aux_control_currentIndexChanged(int index);
    void on_gpi1_control_currentIndexChanged(int index);
    void on_gpi2_control_currentIndexChanged(int index);
    void on_boost_select_currentIndexChanged(int index);
    void on_live_collapse_toggled(bool checked);
    void on_cust_ana_defaults_clicked();
    void on_cust_anb_defaults_clicked();
    void on_cust_ana_load_file_clicked();
    void on_cust_anb_load_file_clicked();
    void add_op_modes_to_set();
    void when_act_intercept_recalc(double act_intercept);

    // Settings form: read, write, open, save
    void on_act_read_triggered();
    void on_act_write_triggered();
    void on_act_write_all_triggered();
    void on_act_reset_triggered();
    void on_act_save_triggered();
    void on_act_save_as_triggered();
    void on_act_open_triggered();
    void when_read_data(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims);
    void when_write_outcome(QList<int> written, QList<int> not_written);
    void when_wrote_data(FT_STATUS status);
    void when_read_file(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim> trims,
                        QList<QString> warnings);
    void when_settings_loaded(QString filename, bool recorded_log);
    void when_write_checked(QList<int> differing, QList<int> unread);
    void when_restore_point(QString path, QString error);
    void when_snapshot_read(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints);

    // MAP calibration and overrides
    void on_map_cal_edit_defaults_clicked();
    void on_map_cal_calibrate_clicked();
    void on_map_cal_default_clicked();
    void when_map_cal_data_ready(QList<quint16> values);
    void on_active_slope_valueChanged(double value);
    void on_active_intercept_valueChanged(double value);
    void on_active_atm_valueChanged(double value);
    void on_active_deadband_valueChanged(double value);
    void on_base_slope_valueChanged(double value);
    void on_base_intercept_valueChanged(double value);
    void on_base_atm_valueChanged(double value);
    void on_main_override_set_clicked();
    void on_aux_override_set_clicked();
    void on_gpo1_override_set_clicked();
    void on_gpo2_override_set_clicked();
    void on_main_override_reset_clicked();
    void on_aux_override_reset_clicked();
    void on_gpo1_override_reset_clicked();
    void on_gpo2_override_reset_clicked();

    // Live view and log triggers
    void on_act_logging_triggered(bool checked);
    void when_log_started();
    void when_log_stopped();
    void when_log_paused(bool paused);
    void when_log_data_ready(rv8_frame data);
    void when_recall_data_ready(rv8_frame data);
    void when_parsed_log_file();
    void on_act_live_log_to_file_toggled(bool checked);
    void on_live_log_use_timer_toggled(bool checked);
    void on_live_log_timer_start_valueChanged(int value);
    void when_live_log_timer_expires();
    void on_set_live_log_folder_clicked();
    void on_open_live_log_file_clicked();
    void when_log_file_failed(QString filename, QString reason);
    void when_wrote_file(QString filename, bool success, QString reason);

    // Firmware update
    void on_fw_browse_clicked();
    void on_fw_update_clicked();
    void when_fw_programmed(FT_STATUS status, quint16 fw_version, rv8_variant variant);

private:
    // MAP calibration and overrides
    void set_base_fields_enabled(bool enabled);
    void mark_active_calibration();
    void set_override(table_index output);
    void connect_overrides();
    void reset_override(table_index output, const QString& why);
    void reset_all_overrides(const QString& why);
    void reset_owed_overrides(const QString& serial);
    void when_override_done(table_index output, int duty, FT_STATUS result);
    void show_override_countdowns();
    override_book* overrides = nullptr;
    QAction* act_reset_overrides = nullptr;
    struct held_override {
        int percent = -1;
        int seconds = 0;
    };
    // Resets on their way to the unit, by table_index: owed again should one fail.
    QHash<int, held_override> resetting;

    // Live view and log triggers
    void connect_live_view();
    void connect_logging();
    void clear_live_logs();
    void show_frame(const rv8_frame& data);
    void show_output_frame(int position, const rv8_frame& data, quint16 duty);
    void set_log_to_file(bool enable);
    void show_log_state(const QIcon& icon, const QString& tip);
    void new_live_log_file();
    void start_log_countdown();
    // Log to File with live data flowing: at once, after the countdown, or once the start condition holds.
    void begin_log_to_file();
    bool overwrite_changes_for_log();
    void finish_opening_log();
    bool live_logging = false;
    bool log_writing = false;
    bool logging_paused = false;
    bool resumed_in_pause = false;
    bool opening_log = false;
    bool log_settings_loaded = false;
    bool log_failure_shown = false;
    QString live_log_file_name;
    QTimer* log_countdown = nullptr;
    std::vector<QLineEdit*> readout_widgets;
    std::array<int, 4> shown_duty{{-1, -1, -1, -1}};
    void show_latest_frame();

    // Live analysis (mainwindow_analysis.cpp): dwell maps and trails on the tables, markers, the
    // chart's range, and the conditions that start and stop a recording.
    void connect_analysis();
    // Ends the counting threads before the store they read goes.
    void stop_analysis();
    void connect_dwell_bars();
    void connect_recording_conditions();
    void read_analysis_settings();
    void save_analysis_settings() const;
    channel_scale current_scale() const;
    dwell_source dwell_source_of(int position) const;
    void refresh_dwell_table(int position);
    void show_dwell(int table);
    void show_dwell_on(int position);
    void export_dwell(int position);
    void add_marker();
    void show_markers();
    void go_to_marker(qint64 stamp);
    void when_range_selected(double from, double to);
    void export_range();
    void feed_trigger(const rv8_frame& frame);
    record_trigger::plan trigger_plan() const;
    void arm_trigger(bool recording_now);
    void show_trigger_state();
    dwell_analysis* dwell = nullptr;
    background_jobs* jobs = nullptr;
    QTimer* dwell_tick = nullptr;
    std::array<qint64, 4> surface_drawn{{0, 0, 0, 0}};
    QElapsedTimer analysis_clock;
    QList<log_marker> markers;
    record_trigger trigger;
    qint64 trigger_start = -1; // the record the start condition held on, for the file to start from
    channel_scale trigger_scale;
    QLabel* trigger_status = nullptr;
    static constexpr qint64 refresh_ms = 50;
    rv8_frame latest_frame;
    QTimer* frame_refresh = nullptr;
    QElapsedTimer shown_at;

    // Firmware update
    void connect_firmware();
    bool fw_image_usable(const QString& path);
    void show_unit_after_failed_flash(quint16 version, rv8_variant variant);
    QString unit_serial;
    bool fw_image_accepted = false;

    void connect_worker();
    void connect_tables_and_graphs();
    void create_status_widgets();
    void read_app_settings();
    void write_app_settings() const;
    void add_chart_curves();
    void set_led(QLabel* label, const QIcon& icon);
    void set_changes_pending(bool pending);
    // Settings form
    void add_all_to_set(bool with_factory_calibration);
    void hand_over_changes(bool for_write);
    quint32 field_to_int(int_index i);
    void int_to_field(int_index i, quint32 value);
    bool ask_calibration(const QList<quint32>& ints, bool factory);
    void apply_calibration(const QList<quint32>& ints, bool factory, bool active);
    void decode_trailer(const output_form& o, const QByteArray& data);
    void show_control_modes();
    void connect_form_checks();
    void output_field_changed(const output_form& o);
    void show_vert_source(const output_form& o, int index);
    int threshold_decimals(int source) const;
    void clamp_vert_threshold(const output_form& o);
    void show_output_mode(const output_form& o, int index);
    void show_gpi_mode(int gpi, int index);
    bool check_delay_increment(QSpinBox* field);
    void check_analog_gap(bool input_a, bool min_changed);
    void snap_boost(bool max_changed);
    void refresh_outputs_on(int source);
    void status(const QString& text);
    void save_settings_file(QString name);
    void refuse_opened_file(const QString& name, const QString& reason);
    void mark_group(int group);
    void set_settings_file_name(const QString& name);
    bool load_cust_an_conv(const QString& path, bool input_a);
    void choose_cust_an_file(bool input_a);
    void reset_cust_an(bool input_a);
    void load_stored_conversions();
    QMessageBox::StandardButton ask(const box_request& request);
    // The file dialogs' filter for settings files, in Open, Save As and Compare.
    static constexpr const char* settings_filter = "BN settings (*.bnini);;All files (*.*)";
    // A file or folder from the user, parented to the window; empty when cancelled.
    QString choose_file(file_request::kind_t kind, const QString& caption, const QString& start,
                        const QString& filter = QString(), const QString& default_suffix = QString());
    void write_fatal_now(const QString& formatted);
    bool ask_number(const QString& title, const QString& label, double value, double min, double max, double* out);

    // Compare, restore points and the read-back of writes (mainwindow_compare.cpp)
    void connect_compare();
    compare_dialog* compare_window();
    void open_compare();
    void open_restore_points();
    void compare_point(const QString& path);
    void provide_side(int side, int kind);
    void load_compared(int side, int kind, const QString& path);
    unit_settings form_settings();
    void take_compared(QList<setting_change> chosen, const unit_settings& from, const QString& from_label);
    void take_table(table_index t, const QList<setting_change>& chosen, const QByteArray& target);
    void forget_unit_group(int group);
    QAction* act_compare = nullptr;
    QAction* act_restore_points = nullptr;
    compare_dialog* compare = nullptr;
    restore_points_dialog* points_dialog = nullptr;
    QList<int> snapshot_sides;
    // What the read-back after the last write found, and why no restore point could be saved.
    QList<int> write_differing;
    QList<int> write_unread;
    QString restore_point_error;

    // Undo and redo
    struct history_field {
        QWidget* widget;
        QString caption;
        QList<int> groups; // write groups a change of it touches
        int threshold_of;  // a load threshold: the output whose source gives its unit; else -1
        bool boost;        // kept as counts, so that a change of display unit is no edit
    };
    void build_history_fields();
    void connect_history();
    void step_history(bool forward);
    form_state read_form() const override;
    void apply_form(const form_delta& delta, bool after) override;
    void apply_cells(const form_delta& delta, bool after, QSet<int>* touched);
    void calibrate_converter();
    void mark_against_unit(const QSet<int>& groups);
    void remember_unit_image();
    void remember_written(const QList<int>& groups);
    void request_step(const QString& name = QString());
    void record_step();
    QString step_name(const form_delta& delta) const;
    void copy_table(const output_form& from, const output_form& to, bool with_axis);
    std::vector<history_field> history_fields;
    std::unique_ptr<form_history> history;
    QAction* act_undo = nullptr;
    QAction* act_redo = nullptr;
    bool step_requested = false;
    QString next_step_name;
    // What the unit holds as far as the window knows (from a Read or acknowledged writes), in the
    // form's terms: by table_index and int_index.
    QHash<int, QByteArray> unit_tables;
    QHash<int, quint32> unit_ints;
    // What the Write under way handed over, by the same keys.
    QHash<int, QByteArray> sent_tables;
    QHash<int, quint32> sent_ints;
    static quint32 pack_version(const QString& version);
    QString title_base() const;

    main_form* ui;
    rv8_controller* controller;
    converter* conv = nullptr;
    quint32 version_number = 0;
    bool device_connected = false;
    bool updating_fields = true;
    bool changes_pending = false;
    quint16 fw_version = 0;
    QSet<table_index> changed_tables;
    QSet<int_index> changed_ints;
    QSet<adc_trim_index> changed_trims;
    // The file Open asked for, until its answer came, and what was marked before it.
    QString opening_file;
    struct change_sets {
        QSet<table_index> tables;
        QSet<int_index> ints;
        QSet<adc_trim_index> trims;
    } marks_before_open;
    // The groups of the last write the unit acknowledged, and those it did not.
    QList<int> write_acknowledged;
    QList<int> write_unacknowledged;
    // What the last Write handed over, marked again should the write fail before any group was tried.
    QSet<table_index> written_tables;
    QSet<int_index> written_ints;
    // The variant the unit (or the file) reported; saved into files as it is.
    rv8_variant unit_variant = variant_rv8_sx;
    // Control codes the selectors have no item for, sent back unchanged until the user picks one.
    QHash<int, quint32> unknown_modes;
    QList<QPointer<QWidget>> live_widgets;

    QIcon red_led;
    QIcon green_led;
    QIcon yellow_led;
    QLabel* led_label = nullptr;
    QLabel* connection_status = nullptr;

    QString debug_log_file_name;
    QString settings_file_name;
    QString live_log_folder_name;
    QString cust_ana_file_name;
    QString cust_anb_file_name;
    QString cust_ana_units = QStringLiteral("V");
    QString cust_anb_units = QStringLiteral("V");
    // The debug log's file name as the fatal path reads it from any thread.
    mutable QMutex log_file_lock;

    fw_program_status* fw_status_dialog = nullptr;
    hotplug_watcher* watcher = nullptr;
    std::unique_ptr<prompts> own_prompts;
    prompts* prompter = nullptr;
};
