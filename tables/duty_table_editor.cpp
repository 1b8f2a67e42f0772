#include "tables/duty_table_editor.h"

#include <QKeyEvent>

void duty_table_editor::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        event->ignore();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}
