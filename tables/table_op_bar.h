#pragma once
// The bar above a duty grid: its table operations, and "Copy table to" with one entry per other
// table, which the window fills since only it knows the outputs.

#include <QToolBar>

class duty_table;
class QMenu;

class table_op_bar : public QToolBar {
    Q_OBJECT
public:
    table_op_bar(duty_table* table, QWidget* parent);
    QMenu* copy_menu() const { return copies; }

private:
    QMenu* copies;
};
