// Times one full replot and repaint of the live chart with all fourteen curves shown, after one
// minute, one hour and four hours of samples, one JSON object per line:
//   {"bench":"chart_replot","minutes":...,"samples":...,"median_ms":...,"min_ms":...}
// and a closing line with the four-hour to one-minute ratios (aim: at most 1.2). On a machine
// shared with other work the ratio of the minima is the steadier figure.

#include "bench/bench_chart_data.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <qwt/qwt_plot_curve.h>
#include <vector>

namespace {

struct timing {
    double median;
    double min;
};

timing run(double minutes)
{
    rv8_log log;
    tsafe_qvector<unsigned int> marks;
    const int n = bench_chart::samples_in(minutes);
    bench_chart::fill(log, marks, n, QDateTime::currentMSecsSinceEpoch());

    log_graph graph;
    graph.resize(1200, 500);
    bench_chart::show_all_curves(graph, log, marks);
    graph.show();
    graph.when_data_updated();
    QApplication::processEvents();

    const int rounds = 100;
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        graph.replot();
        graph.canvas()->repaint();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("{\"bench\":\"chart_replot\",\"minutes\":%g,\"samples\":%d,\"median_ms\":%.3f,\"min_ms\":%.3f}\n",
                minutes, log.size(), median, ms.front());
    std::fflush(stdout);
    return {median, ms.front()};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const timing minute = run(1);
    run(60);
    const timing four_hours = run(240);
    std::printf("{\"bench\":\"chart_replot_ratio\",\"four_hours_over_one_minute_median\":%.3f,"
                "\"four_hours_over_one_minute_min\":%.3f,\"target\":1.2}\n",
                four_hours.median / minute.median, four_hours.min / minute.min);
    return 0;
}
