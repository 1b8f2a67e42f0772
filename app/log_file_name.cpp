#include "app/log_file_name.h"

#include <QFileInfo>

QString new_log_file_path(const QString& folder, const QDateTime& when)
{
    const QString base = folder + QStringLiteral("/brennix_log_") + when.toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    QString path = base + QStringLiteral(".bnlog");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QStringLiteral("_%1.bnlog").arg(n);
    return path;
}
