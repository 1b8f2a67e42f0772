// Recording live data to a file: "Log to File", the start countdown, the log folder, reopening a
// recorded log, and what the worker reports about files it could not write.
//
// Writing ends only when the user turns it off, live updates stop, or the unit goes; the pauses
// the worker makes around its exchanges keep the file open (see when_log_paused).
#include "app/mainwindow.h"

#include "app/log_file_name.h"
#include "app/main_form.h"
#include "app/prompts.h"
#include "device/rv8.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QtDebug>

void MainWindow::connect_logging()
{
    rv8_worker* worker = controller->worker;
    log_countdown = new QTimer(this);
    log_countdown->setObjectName(QStringLiteral("log_countdown"));
    log_countdown->setSingleShot(true);
    log_countdown->setInterval(1000);
    connect(log_countdown, &QTimer::timeout, this, &MainWindow::when_live_log_timer_expires);
    connect(worker, &rv8_worker::log_file_failed, this, &MainWindow::when_log_file_failed);
    connect(worker, &rv8_worker::wrote_file, this, &MainWindow::when_wrote_file);
    connect(worker, &rv8_worker::read_file, this, [this] {
        if (opening_log)
            log_settings_loaded = true;
    });
}

void MainWindow::on_act_live_log_to_file_toggled(bool checked)
{
    if (!checked) {
        set_log_to_file(false);
        ui->live_log_to_file->setText(QStringLiteral("Log to file"));
        return;
    }
    ui->live_log_file_name->clear();
    ui->live_log_to_file->setText(QStringLiteral("Stop logging to file"));
    if (!live_logging)
        return; // writing starts with live updates
    begin_log_to_file();
}

void MainWindow::begin_log_to_file()
{
    const record_trigger::plan plan = trigger_plan();
    if (plan.has_start) {
        arm_trigger(false);
        ui->act_live_log_to_file->setIcon(yellow_led);
        ui->act_live_log_to_file->setStatusTip(QStringLiteral("Waiting for the start condition"));
        return;
    }
    if (ui->live_log_use_timer->isChecked())
        start_log_countdown();
    else
        set_log_to_file(true);
}

void MainWindow::set_log_to_file(bool enable)
{
    rv8_worker* worker = controller->worker;
    if (enable) {
        log_countdown->stop();
        // A restart must not begin a second file, nor take a new settings snapshot.
        if (log_writing)
            return;
        log_writing = true;
        new_live_log_file();
        // The file starts with the settings the form shows, not what the unit last sent, and a
        // recording that Live Updates or the countdown starts takes a half-typed value too.
        commit_pending_edit();
        all_fields_to_vars();
        if (trigger_start >= 0)
            worker->start_log_at(trigger_start);
        else
            worker->enable_log_to_file(true);
        trigger_start = -1;
        end_file_snapshot();
        // Started by hand or the countdown: the stop condition and the time limit watch it now.
        if (trigger.state() != record_trigger::recording)
            arm_trigger(true);
        show_log_state(green_led, QStringLiteral("Writing live update data to file"));
        ui->live_log_timer_group->setEnabled(false);
        ui->live_log_timer->setText(QStringLiteral("0"));
        return;
    }
    log_countdown->stop();
    log_writing = false;
    trigger.disarm();
    show_trigger_state();
    worker->enable_log_to_file(false);
    show_log_state(red_led, QStringLiteral("Not logging live update data to file"));
    if (ui->live_log_use_timer->isChecked())
        ui->live_log_timer->setText(ui->live_log_timer_start->text());
    ui->live_log_timer_group->setEnabled(true);
}

void MainWindow::show_log_state(const QIcon& icon, const QString& tip)
{
    ui->act_live_log_to_file->setIcon(icon);
    ui->act_live_log_to_file->setStatusTip(tip);
    ui->statusBar->showMessage(tip);
}

void MainWindow::new_live_log_file()
{
    live_log_file_name = new_log_file_path(live_log_folder_name, QDateTime::currentDateTime());
    ui->live_log_file_name->setText(live_log_file_name);
    controller->worker->set_log_file(live_log_file_name);
}

void MainWindow::start_log_countdown()
{
    if (!ui->act_live_log_to_file->isChecked() || !ui->live_log_use_timer->isChecked())
        return;
    if (ui->live_log_timer->text().toInt() < 1) {
        set_log_to_file(true);
        return;
    }
    ui->act_live_log_to_file->setIcon(yellow_led);
    ui->act_live_log_to_file->setStatusTip(QStringLiteral("Will log live update data to file when triggers are met"));
    // One timer: starting it again replaces a countdown already running.
    log_countdown->start();
}

void MainWindow::when_live_log_timer_expires()
{
    if (!ui->act_live_log_to_file->isChecked() || !ui->live_log_use_timer->isChecked()) {
        set_log_to_file(false);
        return;
    }
    const int n = ui->live_log_timer->text().toInt();
    if (n < 2) {
        ui->live_log_timer->setText(QStringLiteral("0"));
        set_log_to_file(true);
        return;
    }
    ui->live_log_timer->setText(QString::number(n - 1));
    log_countdown->start();
}

void MainWindow::on_live_log_use_timer_toggled(bool checked)
{
    ui->live_log_timer->setText(checked ? ui->live_log_timer_start->text() : QStringLiteral("0"));
}

void MainWindow::on_live_log_timer_start_valueChanged(int value)
{
    if (ui->live_log_use_timer->isChecked())
        ui->live_log_timer->setText(QString::number(value));
}

void MainWindow::on_set_live_log_folder_clicked()
{
    if (live_logging) {
        const QString text = QStringLiteral("Cannot change folder while live updates enabled");
        qWarning().noquote() << text;
        box_request box;
        box.text = text;
        box.informative = QStringLiteral(
            "You cannot change the live logging folder while live updates is enabled\n\n"
            "Turn off live updates, select a new folder, and turn on live updates again to use the new folder.");
        box.icon = QMessageBox::Warning;
        ask(box);
        return;
    }
    const QString folder = choose_file(file_request::directory, QStringLiteral("Log file folder"), live_log_folder_name);
    if (folder.isEmpty())
        return;
    live_log_folder_name = folder;
    ui->live_log_folder->setText(folder);
}

void MainWindow::on_open_live_log_file_clicked()
{
    if (live_logging)
        return;
    commit_pending_edit();
    if (changes_pending && !overwrite_changes_for_log())
        return;
    const QString name = choose_file(file_request::open_file, QStringLiteral("Open existing log file"),
                                     live_log_folder_name, QStringLiteral("Brennix logs (*.bnlog);;All (*.*)"));
    if (name.isEmpty())
        return;
    live_log_file_name = name;
    ui->live_log_file_name->setText(name);
    opening_log = true;
    log_settings_loaded = false;
    // As with a settings file: what the log's settings lack keeps the form's values.
    all_fields_to_vars();
    controller->worker->parse_log_file(name);
    end_file_snapshot();
}

bool MainWindow::overwrite_changes_for_log()
{
    box_request box;
    box.text = QStringLiteral("WARNING: About to overwrite local changes");
    box.informative = QStringLiteral(
        "Opening a log file will also import the settings used to make that log file.\n"
        "You have unsaved changes that you need to either write out to a unit or save to a file.\n\n"
        "Do you still want to continue loading the log file, overwriting your changes?");
    box.icon = QMessageBox::Warning;
    box.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    switch (ask(box)) {
    case QMessageBox::Ok:
        qDebug("Overwriting local changes with log file");
        return true;
    case QMessageBox::Cancel:
        qDebug("Not overwriting local changes with log file");
        return false;
    default:
        qCritical("Should not have gotten here");
        return false;
    }
}

// A log's settings replace the form as an opened settings file does, so a following Write sends
// all of them, not only what is edited afterwards.
void MainWindow::finish_opening_log()
{
    if (opening_log && log_settings_loaded)
        add_all_to_set();
    opening_log = false;
    log_settings_loaded = false;
}

void MainWindow::when_log_file_failed(QString filename, QString reason)
{
    log_writing = false;
    show_log_state(red_led, QStringLiteral("Live log not written to %1: %2").arg(filename, reason));
    {
        // The worker has already closed the file; the action only has to say so.
        const QSignalBlocker quiet(ui->act_live_log_to_file);
        ui->act_live_log_to_file->setChecked(false);
    }
    ui->live_log_to_file->setChecked(false);
    ui->live_log_to_file->setText(QStringLiteral("Log to file"));
    ui->live_log_timer_group->setEnabled(true);
    // Repeated failures while a box is open are in the status bar and the debug log already.
    if (log_failure_shown)
        return;
    log_failure_shown = true;
    box_request box;
    box.text = QStringLiteral("Live log file could not be written");
    box.informative = QStringLiteral("%1\n%2\n\nLive updates go on without the file.")
                          .arg(filename.isEmpty() ? QStringLiteral("(no file name)") : filename, reason);
    box.icon = QMessageBox::Warning;
    ask(box);
    log_failure_shown = false;
}

void MainWindow::when_wrote_file(QString filename, bool success, QString reason)
{
    if (success) {
        ui->statusBar->showMessage(QStringLiteral("Saved %1").arg(filename));
        return;
    }
    ui->statusBar->showMessage(QStringLiteral("Could not save %1: %2").arg(filename, reason));
    box_request box;
    box.text = QStringLiteral("Could not save the settings file");
    box.informative = QStringLiteral("%1\n%2").arg(filename, reason);
    box.icon = QMessageBox::Critical;
    ask(box);
}
