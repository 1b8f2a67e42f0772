#include "tests/support/log_capture.h"

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

#include <algorithm>

namespace {
QMutex capture_mutex;
QList<log_capture::entry> captured;

void record(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    QMutexLocker lock(&capture_mutex);
    captured.append({type, text});
}
}

log_capture::log_capture()
{
    clear();
    previous = qInstallMessageHandler(record);
}

log_capture::~log_capture() { qInstallMessageHandler(previous); }

QList<log_capture::entry> log_capture::entries() const
{
    QMutexLocker lock(&capture_mutex);
    return captured;
}

QStringList log_capture::texts() const
{
    QStringList out;
    for (const entry& e : entries())
        out << e.text;
    return out;
}

QStringList log_capture::texts(QtMsgType type) const
{
    QStringList out;
    for (const entry& e : entries())
        if (e.type == type)
            out << e.text;
    return out;
}

bool log_capture::has(QtMsgType type, const QString& text) const { return texts(type).contains(text); }
int log_capture::count(const QString& text) const { return texts().count(text); }

bool log_capture::contains_text(const QString& part) const
{
    const QStringList all = texts();
    return std::any_of(all.begin(), all.end(), [&](const QString& t) { return t.contains(part); });
}

void log_capture::clear()
{
    QMutexLocker lock(&capture_mutex);
    captured.clear();
}
