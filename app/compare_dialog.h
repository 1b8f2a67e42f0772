#pragma once
// Compare: two sets of settings side by side (the form, the unit, a settings file, a restore
// point), every setting that differs in the units a user reads, the same lines brennix-cli diff
// prints. Checked rows, and checked cells of a table's grid, are taken into the form on request;
// the dialog never writes anything to a unit. The window supplies the sides and does the taking.

#include "model/settings_diff.h"
#include "model/unit_settings.h"

#include <QDialog>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QTreeWidget;
class QTreeWidgetItem;

class compare_dialog : public QDialog {
    Q_OBJECT
public:
    enum source_kind { form, unit, file, point };

    explicit compare_dialog(QWidget* parent = nullptr);
    ~compare_dialog() override;

    // Picks a side's source as the user would, asking the window for it (side_wanted).
    void choose(int side, source_kind kind);
    // The window's answer: what a side now holds.
    void set_side(int side, source_kind kind, const QString& label, const unit_settings& settings);
    // The side could not be had; reason (empty: the user cancelled) is shown and the side is empty.
    void side_failed(int side, const QString& reason);
    source_kind kind_of(int side) const { return sides[size_t(side)].kind; }
    bool holds(int side) const { return sides[size_t(side)].loaded; }
    // The changes checked now, in the order of the list.
    QList<setting_change> checked() const;
    // Which side a take reads from: the one that is not the form, B when neither is; -1: none.
    int take_side() const;

signals:
    void side_wanted(int side, int kind);
    void take_wanted(QList<setting_change> chosen, unit_settings from, QString from_label);

private:
    struct side_state {
        source_kind kind = form;
        bool loaded = false;
        QString label;
        unit_settings settings;
    };

    void build();
    void compare_now();
    void fill_rows();
    QTreeWidgetItem* add_row(QTreeWidgetItem* parent, const setting_change& c, int index);
    void show_cells(int table);
    void set_checked(int index, bool on);
    void follow_check(QTreeWidgetItem* item);
    void follow_cell_check(QTableWidgetItem* item);
    void check_selected_cells();
    void show_check_states();
    void show_state();
    void take();

    std::array<side_state, 2> sides;
    std::unique_ptr<settings_diff> diff;
    QSet<int> chosen;
    int shown_table = -1;
    bool filling = false;

    std::array<QComboBox*, 2> source_boxes{};
    std::array<QLabel*, 2> side_labels{};
    QCheckBox* differences_only = nullptr;
    QLabel* counts = nullptr;
    QTreeWidget* rows = nullptr;
    QLabel* cells_caption = nullptr;
    QTableWidget* cells = nullptr;
    QPushButton* check_cells = nullptr;
    QPushButton* take_button = nullptr;
};
