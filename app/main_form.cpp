#include "app/main_form.h"

#include <QAction>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

namespace {
struct action_row {
    QAction* main_form::*member;
    const char* name;
    const char* text;
    const char* tool_tip;
    const char* status_tip;
    bool checkable;
    bool enabled;
};

const action_row action_rows[] = {
    {&main_form::act_reconnect, "act_reconnect", "(Re)connect", "(Re)connect", "Connect or reconnect to RV8", true, true},
    {&main_form::act_open, "act_open", "Open...", "Open...", "Open a settings file (bnini)", false, true},
    {&main_form::act_save, "act_save", "Save", "Save", "Save this settings file (bnini)", false, true},
    {&main_form::act_save_as, "act_save_as", "Save As...", "Save As...", "Save a settings file (bnini)", false, true},
    {&main_form::act_read, "act_read", "Read", "Read from RV8", "Connect to device to enable this button", false, false},
    {&main_form::act_write, "act_write", "Write", "Write to RV8", "Connect to device to enable this button", false, false},
    {&main_form::act_write_all, "act_write_all", "Write All", "Write all to RV8", "Connect to device to enable this button",
     false, false},
    {&main_form::act_reset, "act_reset", "Reset", "Reset", "Resets the device", false, false},
    {&main_form::act_logging, "act_logging", "Live Updates", nullptr, nullptr, true, false},
    {&main_form::act_live_log_to_file, "act_live_log_to_file", "Log to File", "Log live update data to a file", nullptr,
     true, false},
    {&main_form::act_rw_debug, "act_rw_debug", "Read/write tracing", nullptr, nullptr, true, true},
};
}

void main_form::setupUi(QMainWindow* window)
{
    window->setWindowTitle(QStringLiteral("Brennix"));
    window->setWindowIcon(QIcon(QStringLiteral(":/icon/vl.ico")));
    window->resize(1574, 861);
    for (size_t i = 0; i < out.size(); ++i)
        out[i].desc = &outputs::all[i];
    build_actions(window);
    build_menus(window);

    main_tab = new QTabWidget(window);
    main_tab->setObjectName(QStringLiteral("main_tab"));
    basic = build_settings_tab();
    main_tab->addTab(basic, QStringLiteral("Settings"));
    for (output_form& o : out) {
        o.tab = build_output_tab(o);
        main_tab->addTab(o.tab, QLatin1String(o.desc->tab_title));
    }
    log = build_log_tab();
    main_tab->addTab(log, QStringLiteral("Debug Log"));
    live = build_live_tab();
    main_tab->addTab(live, QStringLiteral("Live View"));
    main_tab->setCurrentIndex(0);
    window->setCentralWidget(main_tab);
}

void main_form::build_actions(QMainWindow* window)
{
    for (const action_row& row : action_rows) {
        QAction* action = new QAction(QString::fromUtf8(row.text), window);
        action->setObjectName(QLatin1String(row.name));
        if (row.tool_tip)
            action->setToolTip(QString::fromUtf8(row.tool_tip));
        if (row.status_tip)
            action->setStatusTip(QString::fromUtf8(row.status_tip));
        action->setCheckable(row.checkable);
        action->setEnabled(row.enabled);
        this->*row.member = action;
    }
}

void main_form::build_menus(QMainWindow* window)
{
    QMenuBar* bar = window->menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    menuMenu = bar->addMenu(QStringLiteral("&File"));
    menuMenu->setObjectName(QStringLiteral("menuMenu"));
    menuMenu->addActions({act_open, act_save, act_save_as});
    menuDevice = bar->addMenu(QStringLiteral("&Device"));
    menuDevice->setObjectName(QStringLiteral("menuDevice"));
    menuDevice->addActions({act_reconnect, act_reset});
    menuDevice->addSeparator();
    menuDevice->addActions({act_read, act_write, act_write_all});
    menuDevice->addSeparator();
    menuDevice->addAction(act_logging);
    menuSettings = bar->addMenu(QStringLiteral("Settings"));
    menuSettings->setObjectName(QStringLiteral("menuSettings"));
    menuSettings->addAction(act_rw_debug);

    toolBar = new QToolBar(window);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    window->addToolBar(Qt::TopToolBarArea, toolBar);
    toolBar->addActions({act_open, act_save, act_save_as});
    toolBar->addSeparator();
    toolBar->addAction(act_reconnect);
    toolBar->addSeparator();
    toolBar->addActions({act_read, act_write, act_write_all});
    toolBar->addSeparator();
    toolBar->addActions({act_logging, act_live_log_to_file});

    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);
}
