// Renders the live-log chart over three minutes of drive-like samples, and a duty-table surface plain
// and shaded by a dwell map with a trail, into live-chart.png, table-surface.png and
// table-surface-dwell.png in the given folder.
// Usage: graphs_shot <folder>

#include "bench/bench_chart_data.h"
#include "graphs/live_curves.h"
#include "graphs/log_graph.h"
#include "graphs/table_graph.h"

#include <QApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>
#include <QTextStream>
#include <QVector>
#include <QtMath>

static void chart_shot(const QString& folder)
{
    rv8_log log;
    tsafe_qvector<unsigned int> marks;
    const qint64 end = QDateTime::currentMSecsSinceEpoch();
    const int n = bench_chart::samples_in(3);
    const double start = double(end) - (n - 1) * bench_chart::period_ms;
    QRandomGenerator noise(7);
    for (int i = 0; i < n; ++i) {
        rv8_frame f = bench_chart::sample(qint64(start + i * bench_chart::period_ms), i * 3);
        f.map_adc = quint16(f.map_adc + noise.bounded(9) - 4);
        f.rpm = quint16(f.rpm + noise.bounded(41) - 20);
        log.append(f);
        marks.append(i > n - 900 ? 1 : 0);
    }
    log_graph graph;
    graph.resize(1100, 420);
    add_live_curves(graph, log, marks);
    graph.show_curve("GPI1", true);
    graph.scale_rpm_axis(8000);
    graph.show();
    (void)QTest::qWaitForWindowExposed(&graph);
    graph.when_data_updated();
    graph.when_point_selected(QPointF(double(end) - 6000.7, 0));
    QTest::qWait(200);
    graph.grab().save(folder + "/live-chart.png");
}

static void surface_shot(const QString& folder)
{
    table_graph surface;
    surface.resize(520, 420);
    surface.show();
    (void)QTest::qWaitForWindowExposed(&surface);
    QVector<double> values;
    for (int row = 0; row < 16; ++row) // bottom row first
        for (int col = 0; col < 16; ++col)
            values << qBound(0.0, 8 + col * 4.2 + row * 2.1 + 6 * qSin(col * 0.5), 100.0);
    surface.set_values(values, 16, 16);
    QTest::qWait(200);
    surface.grab().save(folder + "/table-surface.png");

    // The same surface shaded by a dwell map along the engine's usual path, with a trail over it.
    QVector<double> heat;
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 16; ++col) {
            const int off = qAbs(row - col * 3 / 4);
            heat << (off > 1 ? -1.0 : qBound(0.0, 1.0 - off * 0.5 - col * 0.04, 1.0));
        }
    QVector<QPointF> trail;
    for (int i = 0; i <= 40; ++i)
        trail << QPointF(3 + i * 0.2, 2 + i * 0.16 + 0.4 * qSin(i * 0.4));
    surface.set_overlay(heat, trail);
    QTest::qWait(200);
    surface.grab().save(folder + "/table-surface-dwell.png");
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: graphs_shot <folder>\n";
        return 2;
    }
    chart_shot(argv[1]);
    surface_shot(argv[1]);
    return 0;
}
