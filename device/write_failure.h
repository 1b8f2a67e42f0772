#pragma once

#include <QString>

// Why a file could not be written, in words a user can act on: the file's own error text when
// there is one, else what is wrong with its folder.
QString write_failure(const QString& path, const QString& error_text = QString());
