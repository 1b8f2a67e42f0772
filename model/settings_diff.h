#pragma once
// What differs between the unit's settings and a file's (or any two sets of settings), in the units
// a user reads: one change per integer setting, per table cell, per trailer field and per axis
// breakpoint. brennix-cli's diff and write and the window's Compare read the same lines.

#include "model/unit_settings.h"
#include "model/write_group.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QVector>

class converter;
class table_record;

struct setting_change {
    QString setting;   // "pump prime delay", "MAIN duty table"
    QString item;      // "cell 3000 RPM, 10 PSI (row 10, column 4)"; empty for an integer
    QString old_text;
    QString new_text;
    int group;         // the write_group whose message carries it
    // Where it lies, so that it can be taken alone: the integer, or the bytes of its table's record
    // (a cell also by row and column as the grid shows them). A damaged table has neither.
    int param = -1;
    int offset = -1;
    int width = 0;
    int row = -1;
    int column = -1;

    QString line() const;
    bool takeable() const { return param >= 0 || offset >= 0; }
    bool cell() const { return row >= 0; }
};

class settings_diff {
public:
    // Numbers are read with the unit's own MAP calibration.
    settings_diff(const unit_settings& unit, const unit_settings& file);

    const QList<setting_change>& changes() const { return list; }
    // The settings that are equal, integers and table items but cells, with their one text.
    const QList<setting_change>& same() const { return equal; }
    // Settings compared: every integer the unit stores, every cell, breakpoint, trailer field and
    // load source of each table (a damaged table counts once), and any other byte that differs.
    int compared() const { return count; }
    bool group_differs(int group) const;
    QJsonArray to_json() const;
    // The load of a table's row as the first settings read it: "24.0 PSI", "2.50 V".
    QString row_load(table_index t, int row) const;

private:
    void compare_ints(const converter& conv);
    void compare_table(table_index t, const converter& conv);
    void compare_cells(table_index t, const table_record& a, const table_record& b, const converter& conv);
    void compare_other_bytes(table_index t, const table_record& a, const table_record& b);
    setting_change& add(const QString& setting, const QString& item, QString old_text, QString new_text, int group);
    void add_table_item(bool differs, setting_change item);

    const unit_settings& unit;
    const unit_settings& file;
    QList<setting_change> list;
    QList<setting_change> equal;
    QVector<bool> covered;
    int count = 0;
};

// `into` with the values of the chosen changes taken from `from`: integers whole, table items byte
// for byte where they lie, each changed table sealed with its checksum again.
unit_settings take_changes(const unit_settings& into, const unit_settings& from, const QList<setting_change>& chosen);
