#include "model/restore_points.h"

#include "model/unit_settings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace {
const QString stamp_format = QStringLiteral("yyyy-MM-dd_hh-mm-ss");

// Two points taken within one second carry _2, _3, ... after the stamp.
int name_suffix(const QString& path)
{
    static const QRegularExpression suffix(QStringLiteral("_(\\d+)\\.bnini$"));
    static const QRegularExpression stamp(QStringLiteral("\\d\\d-\\d\\d-\\d\\d\\.bnini$"));
    if (stamp.match(path).hasMatch())
        return 1;
    const QRegularExpressionMatch m = suffix.match(path);
    return m.hasMatch() ? m.captured(1).toInt() : 1;
}

bool same_settings(const unit_settings& a, const unit_settings& b)
{
    for (int t = tbl_aux; t <= tbl_gpo2; ++t)
        if (a.tables[t] != b.tables[t])
            return false;
    for (int_index i : unit_settings::unit_ints())
        if (a.ints[i] != b.ints[i])
            return false;
    return true;
}

// The newest point's settings, when it can still be read whole.
bool newest_holds(const QList<restore_point>& points, const unit_settings& settings)
{
    if (points.isEmpty())
        return false;
    unit_settings saved;
    QStringList warnings;
    QString error;
    return unit_settings::load(points.last().path, settings, &saved, &warnings, &error) && warnings.isEmpty()
           && same_settings(saved, settings);
}

quint16 firmware_in_file(const QString& path)
{
    unit_settings saved;
    QStringList warnings;
    QString error;
    return unit_settings::load(path, unit_settings(), &saved, &warnings, &error) ? quint16(saved.ints[int_fw_version]) : 0;
}
} // namespace

QString restore_points::root()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/restore");
}

QString restore_points::folder(const QString& serial)
{
    return root() + QLatin1Char('/') + serial;
}

QString restore_points::note_path(const QString& path)
{
    QString note = path;
    if (note.endsWith(QLatin1String(".bnini")))
        note.chop(6);
    return note + QStringLiteral(".point");
}

QString restore_points::save(const QString& serial, const unit_settings& settings, QString* error)
{
    const QList<restore_point> points = list(serial);
    if (newest_holds(points, settings))
        return points.last().path;
    const QString dir = folder(serial);
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create the restore folder %1").arg(dir);
        return {};
    }
    const QString base = dir + QLatin1Char('/') + serial + QLatin1Char('_') + QDateTime::currentDateTime().toString(stamp_format);
    QString path = base + QStringLiteral(".bnini");
    for (int n = 2; QFile::exists(path); ++n)
        path = base + QStringLiteral("_%1.bnini").arg(n);
    QString reason;
    if (!settings.save(path, &reason)) {
        *error = QStringLiteral("cannot save the restore point: %1").arg(reason);
        return {};
    }
    {
        QSettings note(note_path(path), QSettings::IniFormat);
        note.setValue(QStringLiteral("firmware"), settings.ints[int_fw_version]);
    }
    prune(serial);
    return path;
}

QList<restore_point> restore_points::list(const QString& serial)
{
    QList<restore_point> out;
    const QStringList serials =
        serial.isEmpty() ? QDir(root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name) : QStringList{serial};
    for (const QString& s : serials) {
        QList<restore_point> unit;
        const QDir dir(folder(s));
        for (const QString& name : dir.entryList({QStringLiteral("*.bnini")}, QDir::Files, QDir::Name)) {
            restore_point p;
            p.serial = s;
            p.path = dir.filePath(name);
            QString named;
            parse_name(name, &named, &p.taken);
            const QSettings note(note_path(p.path), QSettings::IniFormat);
            p.pinned = note.value(QStringLiteral("pinned"), false).toBool();
            p.written = note.value(QStringLiteral("written")).toString();
            p.fw_version = quint16(note.value(QStringLiteral("firmware")).toUInt());
            // Points saved before notes existed carry their firmware only in the file: read once, noted.
            if (!note.contains(QStringLiteral("firmware"))) {
                p.fw_version = firmware_in_file(p.path);
                QSettings(note_path(p.path), QSettings::IniFormat).setValue(QStringLiteral("firmware"), p.fw_version);
            }
            unit << p;
        }
        std::stable_sort(unit.begin(), unit.end(), [](const restore_point& a, const restore_point& b) {
            return a.taken != b.taken ? a.taken < b.taken : name_suffix(a.path) < name_suffix(b.path);
        });
        out += unit;
    }
    return out;
}

bool restore_points::parse_name(const QString& file_name, QString* serial, QDateTime* taken)
{
    static const QRegularExpression form(
        QStringLiteral("^(.+)_(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(_\\d+)?\\.bnini$"));
    const QRegularExpressionMatch m = form.match(file_name);
    if (!m.hasMatch())
        return false;
    *serial = m.captured(1);
    *taken = QDateTime::fromString(m.captured(2), stamp_format);
    return taken->isValid();
}

bool restore_points::set_pinned(const QString& path, bool pinned, QString* error)
{
    QSettings note(note_path(path), QSettings::IniFormat);
    note.setValue(QStringLiteral("pinned"), pinned);
    note.sync();
    if (note.status() == QSettings::NoError)
        return true;
    *error = QStringLiteral("cannot write %1").arg(note_path(path));
    return false;
}

void restore_points::note_write(const QString& path, const QStringList& groups)
{
    QSettings note(note_path(path), QSettings::IniFormat);
    note.setValue(QStringLiteral("written"), groups.isEmpty() ? QStringLiteral("nothing") : groups.join(QStringLiteral(", ")));
}

void restore_points::prune(const QString& serial, int keep)
{
    QList<restore_point> points = list(serial);
    int unpinned = 0;
    for (auto p = points.crbegin(); p != points.crend(); ++p) {
        if (p->pinned || ++unpinned <= keep)
            continue;
        QFile::remove(p->path);
        QFile::remove(note_path(p->path));
    }
}
