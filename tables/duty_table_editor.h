#pragma once
// A cell editor that lets the arrow keys move to the neighbouring cell instead of the caret.

#include <QLineEdit>

class duty_table_editor : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
