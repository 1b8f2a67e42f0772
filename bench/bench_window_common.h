#pragma once
// What the window benchmarks share: a window on a virtual unit whose questions are answered
// without a hand, and the GUI thread's own CPU clock.

#include "app/app_resources.h"
#include "app/mainwindow.h"
#include "app/prompts.h"
#include "device/d2xx/unit_sources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <ctime>
#include <functional>

namespace bench_window {

struct answering_prompts : prompts {
    std::function<QString(const file_request&)> pick;
    QMessageBox::StandardButton ask(const box_request&) override { return QMessageBox::Ok; }
    QString choose(const file_request& request) override { return pick ? pick(request) : QString(); }
};

inline double thread_cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// Settings and documents of a home of the run's own; call before the application exists.
inline void isolate_home(const QString& home)
{
    qputenv("HOME", home.toLocal8Bit());
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR"})
        qunsetenv(var);
    QDir().mkpath(home + QStringLiteral("/Documents"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the event loop, sleeping in it, until done() holds; checked every 10 ms.
template <typename F>
void run_until(F&& done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(10);
    if (!done())
        loop.exec();
}

inline void run_for(int ms)
{
    QElapsedTimer t;
    t.start();
    run_until([&] { return t.elapsed() >= ms; });
}

} // namespace bench_window
