#include "app/prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

QMessageBox::StandardButton prompts::ask(const box_request& request)
{
    QMessageBox box(request.parent);
    box.setIcon(request.icon);
    box.setText(request.text);
    box.setInformativeText(request.informative);
    box.setStandardButtons(request.buttons);
    box.setDefaultButton(request.default_button);
    return QMessageBox::StandardButton(box.exec());
}

bool prompts::number(const number_request& request, double* value)
{
    bool ok = false;
    *value = QInputDialog::getDouble(request.parent, request.title, request.label, request.value, request.min, request.max,
                                     request.decimals, &ok);
    return ok;
}

bool prompts::text(const text_request& request, QString* value)
{
    bool ok = false;
    *value = QInputDialog::getText(request.parent, request.title, request.label, QLineEdit::Normal, request.text, &ok);
    return ok;
}

QString prompts::choose(const file_request& request)
{
    switch (request.kind) {
    case file_request::save_file: {
        QFileDialog dialog(request.parent, request.caption, request.start, request.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(request.default_suffix);
        // Qt's own dialog adds the suffix before it asks about replacing a file; not every
        // desktop's dialog does.
        dialog.setOption(QFileDialog::DontUseNativeDialog, !request.default_suffix.isEmpty());
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }
    case file_request::directory:
        return QFileDialog::getExistingDirectory(request.parent, request.caption, request.start,
                                                 QFileDialog::ShowDirsOnly);
    case file_request::open_file:
        break;
    }
    return QFileDialog::getOpenFileName(request.parent, request.caption, request.start, request.filter);
}
