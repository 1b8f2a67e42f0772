#include "tables/duty_table_delegate.h"

#include "tables/duty_table.h"
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

void duty_table_delegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto* table = qobject_cast<const duty_table*>(parent());
    if (!table || !table->shaded())
        return;
    const QColor shade = table->shade_at(index.row(), index.column());
    const QColor background = shade.isValid() ? shade : QColor(Qt::white);
    option->backgroundBrush = background;
    option->palette.setColor(QPalette::Text, background.lightness() < 128 ? Qt::white : Qt::black);
}
