#pragma once
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// One line of the debug log: time, thread and, for warnings and worse, the reporting function.
QString debug_log_line(QtMsgType type, const char* function, const QString& message, quint64 thread_id,
                       const QDateTime& when);
// The calling thread's id as the log shows it.
quint64 current_thread_number();
