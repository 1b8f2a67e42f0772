// Connection lifecycle: the status bar's LED and text, the window title, and which controls a
// unit enables. The worker reconnects or closes by itself on hot-plug events; the window follows
// its opened and closed signals.
#include "app/mainwindow.h"

#include "app/main_form.h"
#include "app/override_book.h"
#include "app/prompts.h"
#include "device/d2xx/hotplug_watcher.h"
#include "device/rv8.h"
#include "model/write_rules.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QtDebug>

namespace {
const char* const connect_first = "Connect to device to enable this button";
}

void MainWindow::on_act_reconnect_triggered()
{
    ui->statusBar->showMessage(QStringLiteral("Attempting reconnect..."));
    set_device_controls_enabled(false);
    device_connected = false;
    fw_version = 0;
    connection_status->setText(QStringLiteral("Connecting..."));
    set_led(led_label, yellow_led);
    setWindowTitle(title_base());
    controller->worker->open();
}

void MainWindow::when_device_opened(QString serial_number, quint16 version, rv8_variant variant)
{
    const QString warning = write_rules::firmware_warning(version);
    const bool incompatible = !warning.isEmpty();
    if (incompatible)
        qWarning().noquote() << warning;
    qDebug("Device connected. sn:%s  v:%x  var:%d", serial_number.toLocal8Bit().constData(), version, int(variant));
    ui->statusBar->showMessage(QStringLiteral("Device connected"));
    set_device_controls_enabled(true);
    ui->act_reconnect->setChecked(false);
    device_connected = true;
    fw_version = version;
    // Files saved and logs started before any Read record the connected unit's variant; a
    // bootloader cannot tell it.
    if (version != 0)
        unit_variant = variant;
    // Another unit, or the same one changed elsewhere: what it holds is known again after a Read.
    unit_tables.clear();
    unit_ints.clear();
    set_led(led_label, green_led);
    set_connection_status(version, variant);
    // A unit that kept its overrides through a lost link drives them still.
    if (version != 0)
        reset_owed_overrides(serial_number);

    // Last: an unplug while the box is open is then shown as it happens, not overwritten after.
    if (incompatible) {
        box_request box;
        box.text = warning;
        box.informative = QStringLiteral(
            "The connected device has an older firmware (FW) version, you need to update the FW!\n\n"
            "Using this version of Brennix with your older FW may break your device, your engine, or both "
            "(probably both).\n\n");
        box.icon = QMessageBox::Warning;
        ask(box);
    }
}

void MainWindow::set_connection_status(quint16 version, rv8_variant variant)
{
    QString status = QStringLiteral("Connected bootloader");
    if (version != 0)
        status = QStringLiteral("Connected fw v%1.%2%3")
                     .arg(version >> 8)
                     .arg(QString::number(version & 0xFF, 16))
                     .arg(variant == variant_rv8_sx ? QStringLiteral(" RV8-SX") : QStringLiteral(" RV8-S"));
    connection_status->setText(status);
    setWindowTitle(title_base() + QStringLiteral(":  ") + status);
    // A bootloader cannot tell its variant: keep the limits the application last reported.
    if (version == 0)
        return;
    const double max_current = write_limits::over_current(variant).max;
    ui->main_overcurrent_limit->setMaximum(max_current);
    ui->aux_overcurrent_limit->setMaximum(max_current);
}

void MainWindow::when_device_closed()
{
    qDebug("Device disconnected");
    ui->statusBar->showMessage(QStringLiteral("Not connected."));
    set_device_controls_enabled(false);
    ui->act_reconnect->setChecked(false);
    device_connected = false;
    fw_version = 0;
    connection_status->setText(QStringLiteral("Not Connected"));
    overrides->link_lost();
    set_led(led_label, red_led);
    setWindowTitle(title_base() + QStringLiteral(" : Not Connected"));
}

void MainWindow::set_device_controls_enabled(bool connected)
{
    clear_live_values();
    for (QAction* action : {ui->act_read, ui->act_write, ui->act_write_all, ui->act_reset, ui->act_logging})
        action->setEnabled(connected);
    ui->act_logging->setChecked(false);
    ui->act_logging->setIcon(red_led);
    ui->act_live_log_to_file->setEnabled(connected);
    ui->act_live_log_to_file->setChecked(false);
    ui->map_cal_calibrate->setEnabled(connected);
    ui->map_cal_calibrate->setChecked(false);
    for (const output_form& o : ui->out) {
        o.override_set->setEnabled(connected);
        o.override_reset->setEnabled(connected);
    }
    ui->fw_update->setEnabled(connected);

    const QString off = QLatin1String(connect_first);
    ui->act_read->setStatusTip(connected ? QStringLiteral("Read from the device, will overwrite all changes in the application!") : off);
    ui->act_write->setStatusTip(connected ? QStringLiteral("Green: no changes to set    Red: will write changes to device") : off);
    ui->act_write_all->setStatusTip(connected ? QStringLiteral("Write all settings to device, regardless of what changed") : off);
    ui->act_logging->setStatusTip(connected ? QStringLiteral("Enable/disable live logging from device") : off);
}

void MainWindow::register_ftdi_event()
{
    watcher = new hotplug_watcher(QByteArrayLiteral("udev"), this);
    watcher->setObjectName(QStringLiteral("hotplug_watcher"));
    connect(watcher, &hotplug_watcher::device_event, controller->worker, &rv8_worker::smart_reconnect,
            Qt::QueuedConnection);
    // A watcher that cannot start has said so in the log; (Re)connect still works by hand.
    watcher->start();
}

void MainWindow::when_fw_progress(int progress)
{
    // Only the bootloader's confirmation of the end record reports 100.
    if (progress >= 100)
        fw_image_accepted = true;
}
