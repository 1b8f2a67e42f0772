#include "cli/restore_points.h"

#include "cli/cli_failure.h"
#include "cli/unit_settings.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
const QString stamp_format = QStringLiteral("yyyy-MM-dd_hh-mm-ss");
}

QString restore_points::root()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/restore");
}

QString restore_points::folder(const QString& serial)
{
    return root() + QLatin1Char('/') + serial;
}

QString restore_points::save(const QString& serial, const unit_settings& settings)
{
    const QString dir = folder(serial);
    if (!QDir().mkpath(dir))
        throw cli_failure{exit_link, QStringLiteral("cannot create the restore folder %1; nothing was written to the unit")
                                         .arg(dir)};
    // Two writes within a second keep both points.
    const QString base = dir + QLatin1Char('/') + serial + QLatin1Char('_') +
                         QDateTime::currentDateTime().toString(stamp_format);
    QString path = base + QStringLiteral(".bnini");
    for (int n = 2; QFile::exists(path); ++n)
        path = base + QStringLiteral("_%1.bnini").arg(n);
    QString error;
    if (!settings.save(path, &error))
        throw cli_failure{exit_link, QStringLiteral("cannot save the restore point: %1; nothing was written to the unit")
                                         .arg(error)};
    return path;
}

QList<restore_point> restore_points::list(const QString& serial)
{
    QList<restore_point> out;
    const QStringList serials =
        serial.isEmpty() ? QDir(root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name) : QStringList{serial};
    for (const QString& s : serials) {
        const QDir dir(folder(s));
        for (const QString& name : dir.entryList({QStringLiteral("*.bnini")}, QDir::Files, QDir::Name)) {
            QString named;
            QDateTime taken;
            parse_name(name, &named, &taken);
            out.append({s, taken, dir.filePath(name)});
        }
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
