#include "tables/table_op_bar.h"

#include "tables/duty_table.h"

#include <QMenu>
#include <QToolButton>

table_op_bar::table_op_bar(duty_table* table, QWidget* parent) : QToolBar(parent)
{
    setObjectName(table->objectName() + QStringLiteral("_ops"));
    setIconSize(QSize(0, 0));
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    addActions(table->op_actions());
    addSeparator();
    copies = new QMenu(this);
    copies->setObjectName(table->objectName() + QStringLiteral("_copy_menu"));
    auto* copy = new QToolButton(this);
    copy->setObjectName(table->objectName() + QStringLiteral("_copy"));
    copy->setText(QStringLiteral("Copy table to..."));
    copy->setToolTip(QStringLiteral("Copy the whole table, and on request its load axis, to another output's table"));
    copy->setMenu(copies);
    copy->setPopupMode(QToolButton::InstantPopup);
    addWidget(copy);
}
