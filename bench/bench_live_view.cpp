// The GUI thread's share of one core while the virtual unit streams a record every 13.13 ms (76 a
// second) into a store that already holds an hour of samples, with the Live View tab shown: the
// read-outs, the four live rows and highlights, the chart with every curve, and the dwell map and
// trail of all four tables counted as the records arrive. One JSON object:
//   {"bench":"live_view","store_samples":...,"records_per_s":...,"gui_cpu_share":...,"seconds":...}
// Usage: bench_live_view [seconds] [without-chart | table]   (without-chart hides the chart, to tell
// its share from the rest; table shows the Main Table tab instead, its grid shaded by the dwell map
// with the trail over it and its surface drawn with both)
#include "bench_window_common.h"

#include "bench_chart_data.h"
#include "device/rv8.h"
#include "graphs/log_graph.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

namespace {
// An hour of samples ending now, as a recorded log the window opens.
void write_hour(const QString& path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(rv8_frame::csv_header().toLatin1());
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

}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    bench_window::isolate_home(home.path());
    QApplication app(argc, argv);
    set_app_identity();
    init_app_resources();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const QString mode = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const bool chart = mode != QLatin1String("without-chart");
    const bool table = mode == QLatin1String("table");
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
    window.findChild<QTabWidget*>(QStringLiteral("main_tab"))->setCurrentIndex(table ? 1 : 6);
    for (const char* output : {"main", "aux", "gpo1", "gpo2"})
        window.findChild<QCheckBox*>(QStringLiteral("%1_dwell_map").arg(QLatin1String(output)))->setChecked(true);
    log_graph* graph = window.findChild<log_graph*>(QStringLiteral("live_log_graph"));
    for (const char* name : {"MAP", "RPM", "AN_A", "AN_B", "AUX Duty", "Main Duty", "GPO1 Duty", "GPO2 Duty",
                             "AUX Current", "Main Current", "Battery", "GPI1", "GPI2", "Logged to file"})
        graph->show_curve(QLatin1String(name), true);
    graph->setVisible(chart);

    window.on_act_reconnect_triggered();
    QLabel* status = window.findChild<QLabel*>(QStringLiteral("connection_status"));
    bench_window::run_until([&] { return status->text().startsWith(QLatin1String("Connected fw")); });
    window.findChild<QPushButton*>(QStringLiteral("open_live_log_file"))->click();
    const rv8_log& store = window.unit_worker()->get_log();
    bench_window::run_until([&] { return store.size() >= hour; });

    // Started on the worker itself: "Live Updates" would empty the store first.
    window.unit_worker()->start_live_logging();
    QAction* logging = window.findChild<QAction*>(QStringLiteral("act_logging"));
    bench_window::run_until([&] { return logging->isChecked(); });
    bench_window::run_for(2000);

    const int samples0 = store.size();
    const double cpu0 = bench_window::thread_cpu_seconds();
    QElapsedTimer wall;
    wall.start();
    bench_window::run_for(seconds * 1000);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const double cpu = bench_window::thread_cpu_seconds() - cpu0;
    const int received = store.size() - samples0;
    window.unit_worker()->stop_live_logging(true);

    QJsonObject out{{"bench", table ? "live_view_table" : chart ? "live_view" : "live_view_without_chart"},
                    {"store_samples", double(samples0)},
                    {"records_per_s", received / elapsed},
                    {"gui_cpu_share", cpu / elapsed},
                    {"seconds", elapsed}};
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return 0;
}
