// Opens a million-row live-log file through the window, as a user does with "Open log file", and
// times it until the chart has painted the samples. One JSON object:
//   {"bench":"open_log","rows":...,"file_bytes":...,"seconds":...,"gui_cpu_seconds":...}
// Usage: bench_open_log [rows]
#include "bench_window_common.h"

#include "graphs/log_graph.h"
#include "live/rv8_log.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <qwt/qwt_plot_canvas.h>
#include <qwt/qwt_plot_curve.h>

#include <charconv>
#include <cstdio>
#include <random>

namespace {
void put(QByteArray& out, quint64 v)
{
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    out.append(digits, int(r.ptr - digits));
}

void generate(const QString& path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("[rv8_log]\r\n# Vantrel Brennix RV8-SX log " + path.toLocal8Bit() + "\r\n");
    file.write(rv8_frame::csv_header().toLatin1());
    std::mt19937 rng(7);
    std::uniform_int_distribution<quint32> adc(0, 1023), rpm(700, 7500);
    QByteArray out;
    const qint64 start = 1765000000000;
    for (int i = 0; i < rows; ++i) {
        put(out, quint64(start + qint64(i) * 13));
        for (int e = 0; e < rv8_frame::value_count; ++e) {
            out.append(',');
            put(out, e == rv8_log::e_rpm ? rpm(rng) : e == rv8_log::e_gpi1_state ? i / 500 % 2 : adc(rng));
        }
        out.append("\r\n");
        if (out.size() > (1 << 20)) {
            file.write(out);
            out.clear();
        }
    }
    file.write(out);
}

// Counts the chart canvas' paints.
struct paint_counter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    bench_window::isolate_home(home.path());
    QApplication app(argc, argv);
    set_app_identity();
    init_app_resources();
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const QString path = home.path() + QStringLiteral("/big.bnlog");
    generate(path, rows);

    unit_sources sources(false);
    MainWindow window;
    bench_window::answering_prompts answers;
    answers.pick = [&](const file_request&) { return path; };
    window.set_prompts(&answers);
    window.resize(1280, 900);
    window.show();
    window.findChild<QTabWidget*>(QStringLiteral("main_tab"))->setCurrentIndex(6);
    log_graph* graph = window.findChild<log_graph*>(QStringLiteral("live_log_graph"));
    paint_counter counter;
    graph->canvas()->installEventFilter(&counter);
    for (int i = 0; i < 20; ++i)
        app.processEvents();

    QElapsedTimer timer;
    const double cpu0 = bench_window::thread_cpu_seconds();
    timer.start();
    window.findChild<QPushButton*>(QStringLiteral("open_live_log_file"))->click();
    // Drawn: the chart holds every row and its canvas has painted since.
    while (int(graph->get_curve(QStringLiteral("MAP"))->dataSize()) < rows)
        app.processEvents(QEventLoop::WaitForMoreEvents, 5);
    const int before = counter.paints;
    while (counter.paints == before)
        app.processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double cpu = bench_window::thread_cpu_seconds() - cpu0;

    QJsonObject out{{"bench", "open_log"},
                    {"rows", rows},
                    {"file_bytes", double(QFile(path).size())},
                    {"seconds", seconds},
                    {"gui_cpu_seconds", cpu}};
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return 0;
}
