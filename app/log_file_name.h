#pragma once
// The name of a new live-log file: the folder, "brennix_log_" and the second it starts. A name
// that is taken (two recordings within one second) gets "_2", "_3", ... so no recording is lost.

#include <QDateTime>
#include <QString>

QString new_log_file_path(const QString& folder, const QDateTime& when);
