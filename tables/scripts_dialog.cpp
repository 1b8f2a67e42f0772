#include "tables/scripts_dialog.h"

#include "tables/script_templates.h"
#include "ui_scripts_dialog.h"

scripts_dialog::scripts_dialog(QWidget* parent, const QString& script)
    : QDialog(parent)
    , ui(new Ui::scripts_dialog)
{
    ui->setupUi(this);
    ui->script_edit->setPlainText(script.isEmpty() ? script_templates::help() : script);
}

scripts_dialog::~scripts_dialog() = default;

QString scripts_dialog::script_text() const
{
    return ui->script_edit->toPlainText();
}

void scripts_dialog::on_help_clicked()
{
    ui->script_edit->setPlainText(script_templates::help());
}

void scripts_dialog::on_add_clicked()
{
    ui->script_edit->setPlainText(script_templates::add());
}

void scripts_dialog::on_multiply_clicked()
{
    ui->script_edit->setPlainText(script_templates::multiply());
}

void scripts_dialog::on_divide_clicked()
{
    ui->script_edit->setPlainText(script_templates::divide());
}

void scripts_dialog::on_blank_clicked()
{
    ui->script_edit->setPlainText(QString());
}

void scripts_dialog::on_invert_clicked()
{
    ui->script_edit->setPlainText(script_templates::invert());
}

void scripts_dialog::on_h_gradient_clicked()
{
    ui->script_edit->setPlainText(script_templates::h_gradient());
}

void scripts_dialog::on_v_gradient_clicked()
{
    ui->script_edit->setPlainText(script_templates::v_gradient());
}

void scripts_dialog::on_hv_gradient_clicked()
{
    ui->script_edit->setPlainText(script_templates::hv_gradient());
}
