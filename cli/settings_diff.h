#pragma once
// What differs between the unit's settings and a file's, in the units a user reads: one change per
// integer setting, per table cell, per trailer field and per axis breakpoint.

#include "cli/unit_settings.h"
#include "model/write_group.h"

#include <QJsonArray>
#include <QList>
#include <QString>

class converter;

struct setting_change {
    QString setting;   // "pump prime delay", "MAIN duty table"
    QString item;      // "cell 3000 RPM, 10 PSI (row 10, column 4)"; empty for an integer
    QString old_text;
    QString new_text;
    int group;         // the write_group whose message carries it

    QString line() const;
};

class settings_diff {
public:
    // Numbers are read with the unit's own MAP calibration.
    settings_diff(const unit_settings& unit, const unit_settings& file);

    const QList<setting_change>& changes() const { return list; }
    bool group_differs(int group) const;
    QJsonArray to_json() const;

private:
    void compare_ints(const converter& conv);
    void compare_table(table_index t, const converter& conv);
    void add(const QString& setting, const QString& item, QString old_text, QString new_text, int group);

    const unit_settings& unit;
    const unit_settings& file;
    QList<setting_change> list;
};
