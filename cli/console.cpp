#include "cli/console.h"

#include <QMutex>
#include <cstdio>
#include <unistd.h>

namespace {
QMutex problems_lock;
QStringList problems;
bool verbose_log = false;
bool progress_shown = false;

void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg) {
        QMutexLocker lock(&problems_lock);
        problems << text;
    }
    if (verbose_log)
        std::fprintf(stderr, "  (%s)\n", qPrintable(text));
}
} // namespace

namespace console {

void out(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void err(const QString& line)
{
    end_progress();
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

bool progress_wanted()
{
    return isatty(STDERR_FILENO);
}

void progress(const QString& label, int percent)
{
    const int width = 30;
    const int filled = qBound(0, percent, 100) * width / 100;
    status(QStringLiteral("%1 [%2%3] %4%").arg(label, QString(filled, QLatin1Char('#')),
                                               QString(width - filled, QLatin1Char('.')))
               .arg(qBound(0, percent, 100), 3));
}

void status(const QString& text)
{
    if (!progress_wanted())
        return;
    std::fprintf(stderr, "\r\033[K%s", text.toLocal8Bit().constData());
    std::fflush(stderr);
    progress_shown = true;
}

void end_progress()
{
    if (progress_shown)
        std::fprintf(stderr, "\n");
    progress_shown = false;
}

void install_message_handler(bool verbose)
{
    verbose_log = verbose;
    qInstallMessageHandler(handler);
}

int problem_mark()
{
    QMutexLocker lock(&problems_lock);
    return problems.size();
}

QStringList problems_since(int mark)
{
    QMutexLocker lock(&problems_lock);
    return problems.mid(mark);
}

} // namespace console
