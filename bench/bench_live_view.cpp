// The GUI thread's share of one core while the virtual unit streams a record every 13.13 ms (76 a
// second) into a store that already holds an hour of samples, with the Live View tab shown: the
// read-outs, the four live rows and highlights, and the chart with every curve. One JSON object:
//   {"bench":"live_view","store_samples":...,"records_per_s":...,"gui_cpu_share":...,"seconds":...}
// Usage: bench_live_view [seconds]
#include "bench_window_common.h"

#include "bench_chart_data.h"
#include "device/rv8.h"
#include "graphs/log_graph.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <qwt/qwt_plot_curve.h>

#include <cstdio>

namespace {
// An hour of samples ending now, as a recorded log the window opens.
void write_hour(const QString& path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("[rv8_log]\r\n" + rv8_frame::csv_header().toLatin1());
    const qint64 end = QDateTime::currentMSecsSinceEpoch() - 1000;
    const double start = double(end) - (rows - 1) * bench_chart::period_ms;
    QByteArray out;
    for (int i = 0; i < rows; ++i) {
        out += bench_chart::sample(qint64(start + i * bench_chart::period_ms), i).to_row().toLatin1();
        if (out.size() > (1 << 20)) {
            file.write(out);
            out.clear();
        }
    }
    file.write(out);
}

template <typename F>
void run_until(QApplication& app, F&& done)
{
    while (!done())
        app.processEvents(QEventLoop::WaitForMoreEvents, 5);
}

void run_for(QApplication& app, int ms)
{
    QElapsedTimer t;
    t.start();
    run_until(app, [&] { return t.elapsed() >= ms; });
}
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    bench_window::isolate_home(home.path());
    QApplication app(argc, argv);
    set_app_identity();
    init_app_resources();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int hour = bench_chart::samples_in(60);
    const QString path = home.path() + QStringLiteral("/hour.bnlog");
    write_hour(path, hour);

    unit_sources sources(false);
    sim_config config;
    config.live_period_ms = bench_chart::period_ms;
    sources.add_virtual_unit(config);
    MainWindow window;
    bench_window::answering_prompts answers;
    answers.pick = [&](const file_request&) { return path; };
    window.set_prompts(&answers);
    window.resize(1280, 900);
    window.show();
    window.findChild<QTabWidget*>(QStringLiteral("main_tab"))->setCurrentIndex(6);
    log_graph* graph = window.findChild<log_graph*>(QStringLiteral("live_log_graph"));
    for (const char* name : {"MAP", "RPM", "AN_A", "AN_B", "AUX Duty", "Main Duty", "GPO1 Duty", "GPO2 Duty",
                             "AUX Current", "Main Current", "Battery", "GPI1", "GPI2", "Logged to file"})
        graph->show_curve(QLatin1String(name), true);

    window.on_act_reconnect_triggered();
    QLabel* status = window.findChild<QLabel*>(QStringLiteral("connection_status"));
    run_until(app, [&] { return status->text().startsWith(QLatin1String("Connected fw")); });
    window.findChild<QPushButton*>(QStringLiteral("open_live_log_file"))->click();
    QwtPlotCurve* map = graph->get_curve(QStringLiteral("MAP"));
    run_until(app, [&] { return int(map->dataSize()) >= hour; });

    // Started on the worker itself: "Live Updates" would empty the store first.
    window.unit_worker()->start_live_logging();
    QAction* logging = window.findChild<QAction*>(QStringLiteral("act_logging"));
    run_until(app, [&] { return logging->isChecked(); });
    run_for(app, 2000);

    const size_t samples0 = map->dataSize();
    const double cpu0 = bench_window::thread_cpu_seconds();
    QElapsedTimer wall;
    wall.start();
    run_for(app, seconds * 1000);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const double cpu = bench_window::thread_cpu_seconds() - cpu0;
    const size_t received = map->dataSize() - samples0;
    window.unit_worker()->stop_live_logging(true);

    QJsonObject out{{"bench", "live_view"},
                    {"store_samples", double(samples0)},
                    {"records_per_s", received / elapsed},
                    {"gui_cpu_share", cpu / elapsed},
                    {"seconds", elapsed}};
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return 0;
}
