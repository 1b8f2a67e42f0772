#include "tables/duty_table_delegate.h"

#include "tables/duty_table_editor.h"

#include <QIntValidator>
#include <QtDebug>

QWidget* duty_table_delegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                           const QModelIndex&) const
{
    duty_table_editor* editor = new duty_table_editor(parent);
    editor->setValidator(new QIntValidator(0, 100, editor));
    editor->setMaxLength(3);
    return editor;
}

void duty_table_delegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    QLineEdit* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        qCritical("Some kind of weird mixup opening up an editor at index %dx%d", index.column(), index.row());
        return;
    }
    line->setText(index.data(Qt::EditRole).toString());
}

void duty_table_delegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                       const QModelIndex& index) const
{
    QLineEdit* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    model->setData(index, line->text().toInt(), Qt::EditRole);
}
