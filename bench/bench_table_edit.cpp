// Editing a duty table in the real window: a bilinear fill of all 256 cells, and undo and redo of
// that full-table step, each until the grid and the 3-D surface have painted; medians of 21.
// Offscreen, in a home of its own, with the Main Table tab in front.

#include "bench_window_common.h"

#include "graphs/table_graph.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}

int main(int argc, char** argv)
{
    QTemporaryDir home;
    bench_window::isolate_home(home.path());
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QApplication app(argc, argv);
    set_app_identity();
    init_app_resources();
    unit_sources sources(false);

    MainWindow window;
    bench_window::answering_prompts answers;
    window.set_prompts(&answers);
    window.findChild<QTabWidget*>(QStringLiteral("main_tab"))->setCurrentIndex(1);
    window.show();
    bench_window::run_for(200);
    auto* table = window.findChild<duty_table*>(QStringLiteral("main_table"));
    auto* graph = window.findChild<table_graph*>(QStringLiteral("main_graph"));
    QAction* undo = window.findChild<QAction*>(QStringLiteral("act_undo"));
    QAction* redo = window.findChild<QAction*>(QStringLiteral("act_redo"));
    table->setEnabled(true);

    auto painted = [&](auto&& change) {
        QElapsedTimer clock;
        clock.start();
        change();
        QCoreApplication::processEvents();
        table->viewport()->repaint();
        graph->repaint();
        return clock.nsecsElapsed() / 1e6;
    };
    std::vector<double> fill, back, forward;
    for (int i = 0; i < 21; ++i) {
        const int base = (i % 2) * 30; // every cell differs from the run before
        table->item(0, 0)->setText(QString::number(10 + base));
        table->item(0, 15)->setText(QString::number(40 + base));
        table->item(15, 0)->setText(QString::number(20 + base));
        table->item(15, 15)->setText(QString::number(70 + base));
        bench_window::run_for(5);
        table->selectAll();
        fill.push_back(painted([&] { table->run_op(table_op::interpolate_both); }));
        bench_window::run_for(5);
        back.push_back(painted([&] { undo->trigger(); }));
        forward.push_back(painted([&] { redo->trigger(); }));
    }
    std::printf("{\"bench\":\"table_edit\",\"bilinear_fill_256_painted_ms_median\":%.2f,\"undo_full_table_painted_ms_median\":%.2f,"
                "\"redo_full_table_painted_ms_median\":%.2f,\"target_ms\":20,\"runs\":21}\n",
                median(fill), median(back), median(forward));
    return 0;
}
