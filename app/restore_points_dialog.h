#pragma once
// Restore Points: the points kept for the connected unit, newest first, with the firmware each
// was taken on and what the write after it changed. A point can be pinned (kept through pruning)
// and opened in Compare against the unit, where its values can be taken and written back.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class restore_points_dialog : public QDialog {
    Q_OBJECT
public:
    explicit restore_points_dialog(QWidget* parent = nullptr);

    // Lists the points of unit `serial`; empty: no unit is connected.
    void show_unit(const QString& serial);
    // The selected point's file, empty when none is selected.
    QString selected() const;

signals:
    void compare_wanted(QString path);

private:
    void follow_pin(QTreeWidgetItem* item);

    QString serial;
    QLabel* caption;
    QTreeWidget* points;
    QPushButton* compare;
    bool filling = false;
};
