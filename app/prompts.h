#pragma once
// Every modal question and file dialog of the window goes through one object, so that a test can
// answer and inspect them instead of a box waiting for a hand that never comes.

#include <QMessageBox>
#include <QString>

struct box_request {
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton default_button = QMessageBox::Ok;
    QWidget* parent = nullptr;
};

struct file_request {
    enum kind_t { open_file, save_file, directory };
    kind_t kind = open_file;
    QWidget* parent = nullptr;
    QString caption;
    QString start;
    QString filter;
    // Save dialogs: added to a name typed without one before the dialog asks about replacing it.
    QString default_suffix;
};

struct number_request {
    QString title;
    QString label;
    double value = 0, min = 0, max = 100;
    int decimals = 1;
    QWidget* parent = nullptr;
};

struct text_request {
    QString title;
    QString label;
    QString text;
    QWidget* parent = nullptr;
};

class prompts {
public:
    virtual ~prompts() = default;
    // The button the user pressed.
    virtual QMessageBox::StandardButton ask(const box_request& request);
    // The chosen path, empty when cancelled.
    virtual QString choose(const file_request& request);
    // A number typed by the user; false when cancelled.
    virtual bool number(const number_request& request, double* value);
    // A line of text typed by the user (it may be empty); false when cancelled.
    virtual bool text(const text_request& request, QString* value);
};
