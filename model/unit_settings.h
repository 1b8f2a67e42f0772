#pragma once
// One unit's settings as plain lists, the worker's tables and integers, with the settings file
// they make: what brennix-cli, restore points and the window's Compare hold of a unit or a file.

#include "model/ids.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class converter;

class unit_settings {
public:
    // The entries a window-made file holds: tables 0 to 3 and these integers.
    static QList<int_index> file_ints();
    // The integers the unit stores (and a write may change), in the order of int_index.
    static QList<int_index> unit_ints();

    unit_settings();
    unit_settings(QList<QByteArray> tables, QList<quint32> ints);

    QList<QByteArray> tables;
    QList<quint32> ints;

    // Fills the entries that exist only in files as the window fills them from its fields.
    void complete_for_file(quint16 fw_version, rv8_variant variant);
    // The MAP calibration the numbers of these settings are read with.
    void calibrate(converter& conv) const;

    // Writes a complete settings file, replacing path only once the new file is whole.
    bool save(const QString& path, QString* error) const;
    // Entries the file lacks keep their values from base; one warning per missing entry.
    static bool load(const QString& path, const unit_settings& base, unit_settings* out, QStringList* warnings,
                     QString* error);
    // "MAIN duty table: 639 bytes, a table has 640", for each of tables 0 to 3 the unit would refuse.
    QStringList table_faults() const;
};

// The packed version of this program, as files carry it ("Brennix Version").
quint32 program_version_number();
