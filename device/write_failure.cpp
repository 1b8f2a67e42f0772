#include "device/write_failure.h"

#include <QDir>
#include <QFileInfo>

QString write_failure(const QString& path, const QString& error_text)
{
    if (path.isEmpty())
        return QStringLiteral("No file name given");
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return QStringLiteral("Folder does not exist: %1").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return QStringLiteral("Not a folder: %1").arg(QDir::toNativeSeparators(folder.filePath()));
    if (file.isDir())
        return QStringLiteral("Is a folder");
    if (!error_text.isEmpty())
        return error_text;
    if (file.exists() ? !file.isWritable() : !folder.isWritable())
        return QStringLiteral("Permission denied");
    return QStringLiteral("The file could not be written");
}
