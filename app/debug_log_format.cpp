#include "app/debug_log_format.h"

#include <sys/syscall.h>
#include <unistd.h>

QString debug_log_line(QtMsgType type, const char* function, const QString& message, quint64 thread_id,
                       const QDateTime& when)
{
    const QString stamp = when.toString(QStringLiteral("[yyyy-MM-dd HH:mm:ss.zzz]"));
    const QString thread = QStringLiteral("%1").arg(thread_id, 5, 10, QLatin1Char(' '));
    const QString where = QString::fromUtf8(function ? function : "");
    switch (type) {
    case QtWarningMsg:
        return QStringLiteral("%1 {%2} [Warning] %3: %4").arg(stamp, thread, where, message);
    case QtCriticalMsg:
        return QStringLiteral("%1 {%2} [Critical] %3: %4").arg(stamp, thread, where, message);
    case QtFatalMsg:
        return QStringLiteral("%1 {%2} [Fatal] %3: %4").arg(stamp, thread, where, message);
    case QtDebugMsg:
    case QtInfoMsg:
        break;
    }
    return QStringLiteral("%1 {%2} %3").arg(stamp, thread, message);
}

quint64 current_thread_number()
{
    // The kernel's thread id, as top and gdb show it, rather than pthread_t's address-like value.
    return quint64(syscall(SYS_gettid));
}
