// Custom analog conversions: a CSV table per analog input replaces volts with the user's unit.
#include "app/mainwindow.h"

#include "app/custom_csv.h"
#include "app/main_form.h"
#include "app/prompts.h"
#include "model/conv.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QtDebug>

bool MainWindow::load_cust_an_conv(const QString& path, bool input_a)
{
    QString name;
    QVector<double> values;
    if (!parse_cust_an_csv(path, name, values)) {
        qWarning("Could not parse custom analog conversion CSV file");
        box_request box;
        box.text = QStringLiteral("Could not parse custom analog conversion CSV file");
        box.informative = QStringLiteral("Custom CSV file ") + path
                          + QStringLiteral(" could not be successfully parsed\n\nMake sure the file:\n  * Has 1024 values\n"
                                           "  * Each value follows the format: ADC, converted value\n"
                                           "     * Automatic if edited in excel and saved as CSV\n  * Every value is a number\n"
                                           "  * Any comments start with a '#' at the beginning");
        box.icon = QMessageBox::Critical;
        ask(box);
        return false;
    }
    // The field names the conversion in use, so only one that loaded takes it.
    (input_a ? ui->cust_ana_filename : ui->cust_anb_filename)->setText(QFileInfo(path).fileName());
    (input_a ? cust_ana_units : cust_anb_units) = name;
    (input_a ? ui->live_an_a_units : ui->live_an_b_units)->setText(name);
    if (input_a)
        conv->set_custom_ana(values);
    else
        conv->set_custom_anb(values);
    for (const output_form& o : ui->out)
        show_vert_source(o, o.vert_axis->currentIndex());
    return true;
}

void MainWindow::on_cust_ana_load_file_clicked() { choose_cust_an_file(true); }
void MainWindow::on_cust_anb_load_file_clicked() { choose_cust_an_file(false); }

void MainWindow::choose_cust_an_file(bool input_a)
{
    QString& stored = input_a ? cust_ana_file_name : cust_anb_file_name;
    const QString start = !stored.isEmpty() ? stored
                                            : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                                  + (input_a ? QStringLiteral("/cust_ana.csv") : QStringLiteral("/cust_anb.csv"));
    const QString path = choose_file(file_request::open_file, QStringLiteral("Open conversion CSV file"), start,
                                     QStringLiteral("CSV files (*.csv);;All (*.*)"));
    if (path.isEmpty())
        return;
    // Only a conversion that loaded is remembered: a bad file must not replace the last good one.
    if (load_cust_an_conv(path, input_a))
        stored = path;
}

void MainWindow::on_cust_ana_defaults_clicked() { reset_cust_an(true); }
void MainWindow::on_cust_anb_defaults_clicked() { reset_cust_an(false); }

void MainWindow::reset_cust_an(bool input_a)
{
    if (input_a)
        conv->set_custom_ana_defaults();
    else
        conv->set_custom_anb_defaults();
    (input_a ? ui->cust_ana_filename : ui->cust_anb_filename)->clear();
    (input_a ? cust_ana_file_name : cust_anb_file_name).clear();
    (input_a ? cust_ana_units : cust_anb_units) = QStringLiteral("V");
    (input_a ? ui->live_an_a_units : ui->live_an_b_units)->setText(QStringLiteral("V"));
}

void MainWindow::load_stored_conversions()
{
    // A stored file that no longer loads is forgotten, so the next start does not ask again.
    for (bool input_a : {true, false}) {
        QString& stored = input_a ? cust_ana_file_name : cust_anb_file_name;
        if (!stored.isEmpty() && !load_cust_an_conv(stored, input_a))
            stored.clear();
    }
}
