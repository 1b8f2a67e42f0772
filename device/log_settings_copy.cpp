#include "device/log_settings_copy.h"

#include <QDebug>
#include <QDir>

bool log_settings_copy::begin(const QString& log_name)
{
    file.setFileTemplate(QDir::tempPath() + QStringLiteral("/brennix_log_settings_XXXXXX.bnini"));
    if (file.open())
        return true;
    qCritical().noquote().nospace() << "Could not open tempfile needed to parse log. Log: " << log_name
                                    << " tempfile:" << file.fileName();
    return false;
}

void log_settings_copy::add(std::string_view line)
{
    file.write(line.data(), qint64(line.size()));
    file.write("\r\n", 2);
}

QString log_settings_copy::finish()
{
    file.close();
    return file.fileName();
}
