// Opens a million-row live-log file through the window, as a user does with "Open log file", and
// times it until the chart has drawn the samples. One JSON object:
//   {"bench":"open_log","rows":...,"file_bytes":...,"seconds":...,"gui_cpu_seconds":...}
// Usage: bench_open_log [rows]
#include "bench_window_common.h"

#include "graphs/log_graph.h"
#include "device/rv8.h"
#include "live/rv8_log.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

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
    file.write("# Vantrel Brennix RV8-SX log " + path.toLocal8Bit() + "\r\n");
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
    for (int i = 0; i < 20; ++i)
        app.processEvents();

    // Connected after the window, so it runs once the window has handed the samples to the chart.
    bool parsed = false;
    QObject::connect(window.unit_worker(), &rv8_worker::parsed_log_file, &app, [&] { parsed = true; });
    QElapsedTimer timer;
    const double cpu0 = bench_window::thread_cpu_seconds();
    timer.start();
    window.findChild<QPushButton*>(QStringLiteral("open_live_log_file"))->click();
    // Drawn: the window has handed every row to the chart, and the chart then draws once.
    bench_window::run_until([&] { return parsed; });
    if (window.unit_worker()->get_log().size() != rows)
        qFatal("the store holds %d samples, not %d", window.unit_worker()->get_log().size(), rows);
    graph->replot();
    const QPixmap drawn = graph->grab();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double cpu = bench_window::thread_cpu_seconds() - cpu0;

    QJsonObject out{{"bench", "open_log"},
                    {"rows", rows},
                    {"file_bytes", double(QFile(path).size())},
                    {"seconds", seconds},
                    {"gui_cpu_seconds", cpu},
                    {"drawn_width", drawn.width()}};
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return 0;
}
