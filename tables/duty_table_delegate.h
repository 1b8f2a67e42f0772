#pragma once
// Edits one duty cell with a line editor that takes whole percent only.

#include <QStyledItemDelegate>

class duty_table_delegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

protected:
    // A shaded table's cells show the shading instead of their duty colours.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
