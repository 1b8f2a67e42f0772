#include "device/settings_source.h"

#include <QFile>

namespace {
// A settings file is a few kilobytes; a log's settings section ends long before this.
constexpr qint64 scan_limit = 4 << 20;
}

settings_source inspect_settings_source(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {settings_source::unreadable, file.errorString()};
    bool settings_group = false;
    while (!file.atEnd() && file.pos() < scan_limit) {
        const QByteArray line = file.readLine(4096).trimmed();
        if (line == "[rv8_vars]")
            settings_group = true;
        else if (line == "[rv8_log]")
            return settings_group ? settings_source{settings_source::recorded_log, {}}
                                  : settings_source{settings_source::not_settings,
                                                    QStringLiteral("This live log holds no settings.")};
    }
    if (file.error() != QFileDevice::NoError)
        return {settings_source::unreadable, file.errorString()};
    if (!settings_group || !file.atEnd())
        return {settings_source::not_settings, QStringLiteral("This is not a Brennix settings file.")};
    return {settings_source::settings_file, {}};
}
