#pragma once
// Lets the user write or pick a script that rewrites the selected duty cells.

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class scripts_dialog;
}

class scripts_dialog : public QDialog {
    Q_OBJECT
public:
    scripts_dialog(QWidget* parent, const QString& script);
    ~scripts_dialog() override;

    QString script_text() const;

private slots:
    void on_help_clicked();
    void on_add_clicked();
    void on_multiply_clicked();
    void on_divide_clicked();
    void on_blank_clicked();
    void on_invert_clicked();
    void on_h_gradient_clicked();
    void on_v_gradient_clicked();
    void on_hv_gradient_clicked();

private:
    std::unique_ptr<Ui::scripts_dialog> ui;
};
