// Firmware update: choosing an image, the confirmations, the progress dialog and the outcome.
//
// Once the unit is restarted into its bootloader its application is gone until an image goes
// through whole, so an image is checked before anything is sent: when it is chosen and again
// just before the unit is reset.
#include "app/mainwindow.h"

#include "app/fw_program_status.h"
#include "app/main_form.h"
#include "app/prompts.h"
#include "device/fw_image_check.h"
#include "device/rv8.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtDebug>

namespace {
// Only the file's own name counts: a folder called MAVO says nothing about the image in it.
bool has_fw_tag(const QString& path)
{
    return QFileInfo(path).fileName().contains(QLatin1String("MAVO"));
}
}

void MainWindow::on_fw_browse_clicked()
{
    const QString name = choose_file(file_request::open_file, QStringLiteral("Open FW file"), ui->fw_location->text(),
                                     QStringLiteral("FW files (*MAVO*.hex *MAVO*.bnhex);;All (*.*)"));
    if (name.isEmpty())
        return;
    if (fw_image_usable(name))
        ui->fw_location->setText(name);
}

bool MainWindow::fw_image_usable(const QString& path)
{
    if (!has_fw_tag(path)) {
        box_request box;
        box.text = QStringLiteral("Incorrect FW version selected!");
        box.informative = QStringLiteral("You must select a FW load for the RV8-SX. These usually have 'MAVO' in the name");
        ask(box);
        return false;
    }
    const fw_image_report report = check_fw_image(path);
    if (report.ok)
        return true;
    qWarning().noquote() << "Firmware image refused:" << path << report.reason;
    box_request box;
    box.text = QStringLiteral("This firmware image cannot be programmed");
    box.informative = QStringLiteral("%1\n%2\n\nNothing was sent to the unit; it keeps its current firmware.")
                          .arg(QFileInfo(path).fileName(), report.reason);
    box.icon = QMessageBox::Critical;
    ask(box);
    ui->statusBar->showMessage(QStringLiteral("Firmware image refused: %1").arg(report.reason));
    return false;
}

void MainWindow::on_fw_update_clicked()
{
    const QString path = ui->fw_location->text().trimmed();
    if (path.isEmpty() || !fw_image_usable(path))
        return;
    box_request box;
    box.text = QStringLiteral("About to program the FW!");
    box.informative = QStringLiteral(
        "Before proceeding, ensure unit is ready for FW programming:\n"
        "  - Turn engine OFF, and unplug the connectors to the unit\n"
        "  - Plug in the USB cable, board should be powered on (LEDs blinking)\n\n"
        "Press OK to start programming");
    box.buttons = QMessageBox::Ok | QMessageBox::Cancel;
    if (ask(box) != QMessageBox::Ok)
        return;
    // The file may have changed while the question was open.
    if (!fw_image_usable(path))
        return;
    fw_status_dialog->reset();
    fw_status_dialog->show();
    fw_image_accepted = false;
    controller->worker->start_fw_program(path);
}

void MainWindow::when_fw_programmed(FT_STATUS status, quint16 version, rv8_variant variant)
{
    fw_status_dialog->hide();
    fw_status_dialog->reset();
    box_request box;
    if (status == FT_OK && version != 0) {
        // The unit now runs another application: take it as a new connection, with its version
        // and the check for firmware too old for this program.
        when_device_opened(unit_serial, version, variant);
        box.text = QStringLiteral("FW Update Successful!");
        ask(box);
        return;
    }
    show_unit_after_failed_flash(version, variant);
    box.text = QStringLiteral("FW Update Failed!");
    box.informative = QStringLiteral(
        "Unit's Firmware was NOT successfully updated.\n"
        "Either the unit was not in boot mode, or the FW image was not loaded correctly.\n"
        "  - Unplug the USB Cable from the unit. Plug the USB cable back in.\n"
        "  - Check that the bottom right status message says Connected.\n"
        "  - Retry the FW Update procedure.\n");
    ask(box);
}

// The status says only what is known: a closed link stays "Not Connected", an application that
// never left answers with its version, and a unit that took the whole image but stays silent is
// not claimed to be in its bootloader.
void MainWindow::show_unit_after_failed_flash(quint16 version, rv8_variant variant)
{
    if (!device_connected)
        return;
    fw_version = version;
    if (version != 0 || !fw_image_accepted) {
        set_connection_status(version, variant);
        return;
    }
    const QString status = QStringLiteral("Connected, not answering");
    connection_status->setText(status);
    setWindowTitle(title_base() + QStringLiteral(":  ") + status);
}

void MainWindow::connect_firmware()
{
    rv8_worker* worker = controller->worker;
    connect(worker, &rv8_worker::fw_programmed, this, &MainWindow::when_fw_programmed);
    connect(worker, &rv8_worker::opened, this, [this](QString serial) { unit_serial = serial; });
}
