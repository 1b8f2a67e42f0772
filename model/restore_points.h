#pragma once
// The unit's settings as they were before a write, one dated settings file per write, kept in the
// user's data folder under the unit's serial number. The window and brennix-cli save, list, pin
// and prune them here alike. Beside each point a small note (<name>.point) keeps its firmware,
// whether it is pinned and what the write that followed it changed.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class unit_settings;

struct restore_point {
    QString serial;
    QDateTime taken;
    QString path;
    bool pinned = false;
    quint16 fw_version = 0; // as the point's file holds it
    QString written;        // "MAIN duty table, IO modes"; empty while no write has followed
};

class restore_points {
public:
    // Unpinned points kept per unit; older unpinned ones go, oldest first. Pinned ones stay.
    static constexpr int kept_unpinned = 100;

    // <data folder>/restore
    static QString root();
    static QString folder(const QString& serial);
    // Saves the settings as the unit's newest point, unless its newest already holds them; either
    // way the path of the point that does. Empty, with *error, when no point could be saved: a
    // write must not go ahead then.
    static QString save(const QString& serial, const unit_settings& settings, QString* error);
    // Oldest first; every serial's when serial is empty.
    static QList<restore_point> list(const QString& serial);
    // The unit and time a restore point's file name gives: <serial>_<yyyy-MM-dd_hh-mm-ss>[_n].bnini.
    // False for a name of any other form.
    static bool parse_name(const QString& file_name, QString* serial, QDateTime* taken);
    static bool set_pinned(const QString& path, bool pinned, QString* error);
    // What the write after the point changed, by write group names; "nothing" when it wrote none.
    static void note_write(const QString& path, const QStringList& groups);
    static void prune(const QString& serial, int keep = kept_unpinned);
    static QString note_path(const QString& path);
};
