// The live chart's share of the GUI thread while samples arrive at the unit's rate (one every
// 13.13 ms, appended by another thread as the worker does) after one hour of data, with all
// fourteen curves shown. Measured over 20 s of thread CPU time, one JSON line:
//   {"bench":"chart_live","seconds":...,"samples_arrived":...,"replots":...,"gui_cpu_percent":...}
// Aim: at most 25 % of one core.

#include "bench/bench_chart_data.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

namespace {

double thread_cpu_seconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

class counting_graph : public log_graph {
public:
    int replots = 0;
    void replot() override
    {
        ++replots;
        log_graph::replot();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;

    rv8_log log;
    tsafe_qvector<unsigned int> marks;
    const int hour = bench_chart::samples_in(60);
    bench_chart::fill(log, marks, hour, QDateTime::currentMSecsSinceEpoch());

    counting_graph graph;
    graph.resize(1200, 500);
    bench_chart::show_all_curves(graph, log, marks);
    graph.show();
    graph.when_data_updated();
    app.processEvents();

    std::atomic<bool> running{true};
    std::atomic<int> arrived{0};
    std::thread worker([&] {
        using clock = std::chrono::steady_clock;
        auto next = clock::now();
        int i = hour;
        while (running) {
            next += std::chrono::microseconds(13130);
            std::this_thread::sleep_until(next);
            log.append(bench_chart::sample(QDateTime::currentMSecsSinceEpoch(), i++));
            marks.append(1);
            ++arrived;
            QMetaObject::invokeMethod(&graph, "when_data_updated", Qt::QueuedConnection);
        }
    });

    const int replots_before = graph.replots;
    const double cpu_before = thread_cpu_seconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(int(seconds * 1000), &app, &QApplication::quit);
    app.exec();
    const double cpu = thread_cpu_seconds() - cpu_before;
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    running = false;
    worker.join();

    std::printf("{\"bench\":\"chart_live\",\"seconds\":%.2f,\"samples_before\":%d,\"samples_arrived\":%d,"
                "\"replots\":%d,\"gui_cpu_percent\":%.2f,\"target_percent\":25}\n",
                elapsed, hour, arrived.load(), graph.replots - replots_before, 100.0 * cpu / elapsed);
    return 0;
}
