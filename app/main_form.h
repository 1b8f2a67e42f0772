#pragma once
// The main window's widget tree: actions, menus, tool bar, tabs and every named field. Built in
// code from lists; the four output tabs come from one description (output_desc).

#include "app/output_desc.h"

#include <array>

class QAction;
class QComboBox;
class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QWidget;
class VerticalLabel;
class chart_panel;
class dwell_bar;
class duty_table;
class table_op_bar;
class log_graph;
class table_graph;

// The widgets of one output tab, and its override fields on the Settings tab.
struct output_form {
    const output_desc* desc = nullptr;
    QWidget* tab = nullptr;
    duty_table* table = nullptr;
    table_op_bar* ops = nullptr;
    dwell_bar* dwell = nullptr;
    table_graph* graph = nullptr;
    VerticalLabel* vert_axis_label = nullptr;
    QComboBox* control = nullptr;
    QComboBox* vert_axis = nullptr;
    QDoubleSpinBox* vert_axis_gt = nullptr;
    QSpinBox* horz_axis_gt = nullptr;
    QLabel* vert_axis_name = nullptr;
    QLabel* vert_axis_units = nullptr;
    QLabel* vert_axis_name_2 = nullptr;
    QLabel* vert_axis_units_2 = nullptr;
    QLabel* operate_label = nullptr;
    QLabel* vert_comp_label = nullptr;
    QLabel* horz_comp_label = nullptr;
    QSpinBox* act_delay = nullptr;    // GPO outputs only
    QSpinBox* deact_delay = nullptr;  // GPO outputs only
    QSpinBox* duty_live_value = nullptr;
    QSpinBox* horz_live_value = nullptr;
    QDoubleSpinBox* vert_live_value = nullptr;
    QSpinBox* override_value = nullptr;
    QPushButton* override_set = nullptr;
    QPushButton* override_reset = nullptr;
    QSpinBox* override_seconds = nullptr; // 0: until reset
    QLabel* override_left = nullptr;
};

// One "Start logging when" / "Stop logging when" row of the event group.
struct condition_row {
    QCheckBox* enabled = nullptr;
    QComboBox* source = nullptr;
    QComboBox* comparison = nullptr;
    QDoubleSpinBox* value = nullptr;
    QDoubleSpinBox* hold = nullptr;
};

struct main_form {
    void setupUi(QMainWindow* window);

    QAction* act_reconnect;
    QAction* act_open;
    QAction* act_save;
    QAction* act_save_as;
    QAction* act_read;
    QAction* act_write;
    QAction* act_write_all;
    QAction* act_reset;
    QAction* act_logging;
    QAction* act_live_log_to_file;
    QAction* act_rw_debug;
    QMenu* menuMenu;
    QMenu* menuDevice;
    QMenu* menuSettings;
    QToolBar* toolBar;
    QStatusBar* statusBar;
    QTabWidget* main_tab;

    // Settings tab
    QWidget* basic;
    QComboBox* gpi1_control;
    QComboBox* gpi2_control;
    QSpinBox* gpi1_request;
    QSpinBox* gpi2_request;
    QSpinBox* gpi1_act_delay;
    QSpinBox* gpi2_act_delay;
    QSpinBox* gpi1_deact_delay;
    QSpinBox* gpi2_deact_delay;
    QDoubleSpinBox* pulses_per_rev;
    QSpinBox* max_engine_speed;
    QDoubleSpinBox* min_boost;
    QDoubleSpinBox* max_boost;
    QLabel* min_boost_units;
    QLabel* max_boost_units;
    QDoubleSpinBox* min_an1_input;
    QDoubleSpinBox* max_an1_input;
    QDoubleSpinBox* min_an2_input;
    QDoubleSpinBox* max_an2_input;
    QComboBox* boost_select;
    QDoubleSpinBox* main_overcurrent_limit;
    QDoubleSpinBox* main_undercurrent_limit;
    QSpinBox* main_time_delay;
    QSpinBox* main_min_duty;
    QDoubleSpinBox* aux_overcurrent_limit;
    QDoubleSpinBox* aux_undercurrent_limit;
    QSpinBox* aux_time_delay;
    QSpinBox* aux_min_duty;
    QSpinBox* battery_trim;
    QSpinBox* an_a_trim;
    QSpinBox* an_b_trim;
    QSpinBox* main_current_trim;
    QSpinBox* aux_current_trim;
    QLineEdit* cust_ana_filename;
    QPushButton* cust_ana_load_file;
    QPushButton* cust_ana_defaults;
    QLineEdit* cust_anb_filename;
    QPushButton* cust_anb_load_file;
    QPushButton* cust_anb_defaults;
    QDoubleSpinBox* active_slope;
    QDoubleSpinBox* active_intercept;
    QDoubleSpinBox* active_atm;
    QDoubleSpinBox* active_deadband;
    QPushButton* map_cal_calibrate;
    QPushButton* map_cal_default;
    QPushButton* map_cal_edit_defaults;
    QDoubleSpinBox* base_slope;
    QDoubleSpinBox* base_intercept;
    QDoubleSpinBox* base_atm;
    QLineEdit* fw_location;
    QPushButton* fw_browse;
    QPushButton* fw_update;

    // Output tabs, in tab order (outputs::main, aux, gpo1, gpo2)
    std::array<output_form, outputs::count> out;
    QSpinBox* pump_prime_delay;    // AUX tab
    QSpinBox* pump_prime_delay_2;  // Main tab, a read-only mirror

    // Debug Log tab
    QWidget* log;
    QPushButton* open_debug_log_file;
    QLineEdit* debug_log_file_name;
    QPlainTextEdit* debug_log_text;

    // Live View tab
    QWidget* live;
    QPushButton* live_collapse;
    QGroupBox* live_data_group;
    QComboBox* live_display_format;
    QLineEdit* live_aux_master;
    QLineEdit* live_main_duty;
    QLineEdit* live_main_current;
    QLineEdit* live_gpo1_duty;
    QLineEdit* live_gpi1_state;
    QLineEdit* live_an_a_voltage;
    QLineEdit* live_aux_duty;
    QLineEdit* live_aux_current;
    QLineEdit* live_gpo2_duty;
    QLineEdit* live_gpi2_state;
    QLineEdit* live_battery_voltage;
    QLineEdit* live_an_b_voltage;
    QLineEdit* live_rpm;
    QLineEdit* live_map;
    QLabel* live_map_units;
    QLabel* live_an_a_units;
    QLabel* live_an_b_units;
    QGroupBox* live_log_settings_group;
    QGroupBox* live_log_timer_group;
    QCheckBox* live_log_use_timer;
    QSpinBox* live_log_timer_start;
    QSpinBox* live_log_timer_stop;
    QLabel* live_log_timer;
    QGroupBox* live_log_event_group;
    condition_row live_log_start;
    condition_row live_log_stop;
    QSpinBox* live_log_pre_trigger;
    QLineEdit* live_log_folder;
    QPushButton* set_live_log_folder;
    QLineEdit* live_log_file_name;
    QPushButton* open_live_log_file;
    QPushButton* live_log_to_file;
    log_graph* live_log_graph;
    chart_panel* live_chart_panel;

private:
    void build_actions(QMainWindow* window);
    void build_menus(QMainWindow* window);
    QWidget* build_settings_tab();
    QWidget* build_gpi_group(QWidget* parent);
    QWidget* build_overrides_group(QWidget* parent);
    QWidget* build_basic_group(QWidget* parent);
    QWidget* build_limits_group(QWidget* parent, bool main);
    QWidget* build_trims_group(QWidget* parent);
    QWidget* build_conversion_group(QWidget* parent);
    QWidget* build_map_group(QWidget* parent);
    QWidget* build_firmware_group(QWidget* parent);
    QWidget* build_output_tab(output_form& o);
    QWidget* build_output_settings(output_form& o, QWidget* parent);
    QWidget* build_output_live(output_form& o, QWidget* parent);
    QWidget* build_log_tab();
    QWidget* build_live_tab();
    QWidget* build_live_data(QWidget* parent);
    QWidget* build_live_log_settings(QWidget* parent);
};
