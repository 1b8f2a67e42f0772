#pragma once
// The unit's settings as they were before a write, one dated settings file per write, kept in the
// user's data folder under the unit's serial number.

#include <QDateTime>
#include <QList>
#include <QString>

class unit_settings;

struct restore_point {
    QString serial;
    QDateTime taken;
    QString path;
};

class restore_points {
public:
    // <data folder>/restore
    static QString root();
    static QString folder(const QString& serial);
    // Throws cli_failure when the file cannot be written: a write never goes ahead without it.
    static QString save(const QString& serial, const unit_settings& settings);
    // Oldest first; every serial's when serial is empty.
    static QList<restore_point> list(const QString& serial);
    // The unit and time a restore point's file name gives: <serial>_<yyyy-MM-dd_hh-mm-ss>[_n].bnini.
    // False for a name of any other form.
    static bool parse_name(const QString& file_name, QString* serial, QDateTime* taken);
};
