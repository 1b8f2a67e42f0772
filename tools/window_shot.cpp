// Renders the main window, connected to a virtual unit with live updates on, one picture per tab,
// the MAIN table's dwell map and trail and the Live View's recording conditions, marker and range,
// the MAIN table with a few edits and the undo history, Compare and Restore Points after those
// edits, and the firmware progress dialog part way through a transfer.
// Usage: window_shot <folder>   (writes window-<tab>.png, dwell-map.png, live-analysis.png,
// window-editing.png, compare-dialog.png, restore-points.png, overrides.png and fw-dialog.png)

#include "app/app_resources.h"
#include "app/compare_dialog.h"
#include "app/fw_program_status.h"
#include "app/mainwindow.h"
#include "device/d2xx/unit_sources.h"
#include "device/rv8.h"
#include "graphs/log_graph.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <QTextStream>

int main(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    set_app_identity();
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: window_shot <folder>\n";
        return 2;
    }
    init_app_resources();
    unit_sources sources(false);
    sources.add_virtual_unit();

    MainWindow window;
    MainWindow::set_log_window(&window);
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    qInstallMessageHandler(MainWindow::message_handler);
    window.on_act_reconnect_triggered();
    const QLabel* status = window.findChild<QLabel*>(QStringLiteral("connection_status"));
    QDeadlineTimer deadline(5000);
    while (!status->text().startsWith(QLatin1String("Connected fw")) && !deadline.hasExpired())
        QTest::qWait(20);

    // The form and the tables as the unit fills them.
    QAction* read = window.findChild<QAction*>(QStringLiteral("act_read"));
    read->trigger();
    while (!read->isEnabled() && !deadline.hasExpired())
        QTest::qWait(20);

    // Live data for the read-outs, the live rows under the tables and the chart: past the unit's
    // idle into its first pull.
    window.findChild<QAction*>(QStringLiteral("act_logging"))->trigger();
    QTest::qWait(11000);

    QTabWidget* tabs = window.findChild<QTabWidget*>(QStringLiteral("main_tab"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QTest::qWait(400);
        window.grab().save(QStringLiteral("%1/window-%2.png").arg(QString::fromLocal8Bit(argv[1]), tabs->widget(i)->objectName()));
    }
    // Live analysis: the MAIN table shaded by where the engine has been, with the trail of the last
    // seconds; on the Live View a recording started by its condition, a marker and a selected range.
    const QString folder = QString::fromLocal8Bit(argv[1]);
    tabs->setCurrentIndex(1);
    window.findChild<QCheckBox*>(QStringLiteral("main_dwell_map"))->setChecked(true);
    QTest::qWait(1200);
    window.grab().save(folder + QStringLiteral("/dwell-map.png"));
    tabs->setCurrentIndex(6);
    window.findChild<QGroupBox*>(QStringLiteral("live_log_event_group"))->setChecked(true);
    window.findChild<QAction*>(QStringLiteral("act_live_log_to_file"))->setChecked(true);
    window.unit_worker()->add_log_marker(-1, QStringLiteral("first pull"));
    QTest::qWait(1500);
    const double newest = double(window.unit_worker()->get_log().const_timestamps().last());
    window.findChild<log_graph*>(QStringLiteral("live_log_graph"))->select_range(newest - 7000, newest - 2500);
    QTest::qWait(600);
    window.grab().save(folder + QStringLiteral("/live-analysis.png"));
    window.findChild<QAction*>(QStringLiteral("act_live_log_to_file"))->setChecked(false);
    window.findChild<QGroupBox*>(QStringLiteral("live_log_event_group"))->setChecked(false);
    window.findChild<QCheckBox*>(QStringLiteral("main_dwell_map"))->setChecked(false);

    window.findChild<QAction*>(QStringLiteral("act_logging"))->trigger();
    QTest::qWait(500);

    // Editing: a few steps on the MAIN table, with the undo history open beside it.
    tabs->setCurrentIndex(1);
    auto* main = window.findChild<duty_table*>(QStringLiteral("main_table"));
    const struct { QTableWidgetSelectionRange range; table_op op; double amount; } steps[] = {
        {{5, 4, 8, 7}, table_op::set, 95},
        {{3, 2, 10, 9}, table_op::smooth, 0},
        {{11, 0, 15, 5}, table_op::interpolate_both, 0},
        {{6, 5, 7, 6}, table_op::add, -5},
    };
    for (const auto& step : steps) {
        main->clearSelection();
        main->setRangeSelected(step.range, true);
        main->run_op(step.op, step.amount);
        QTest::qWait(100);
    }
    window.findChild<QAction*>(QStringLiteral("act_undo_history"))->trigger();
    QTest::qWait(400);
    window.grab().save(QStringLiteral("%1/window-editing.png").arg(QString::fromLocal8Bit(argv[1])));
    window.findChild<QAction*>(QStringLiteral("act_undo_history"))->trigger();

    // Compare: the unit read now against the form with those edits, the MAIN grid open.
    window.findChild<QDoubleSpinBox*>(QStringLiteral("pulses_per_rev"))->setValue(3);
    window.findChild<QAction*>(QStringLiteral("act_compare"))->trigger();
    auto* compare = window.findChild<compare_dialog*>(QStringLiteral("compare_dialog"));
    QDeadlineTimer read_deadline(5000);
    while (!(compare->holds(0) && compare->holds(1)) && !read_deadline.hasExpired())
        QTest::qWait(20);
    auto* rows = compare->findChild<QTreeWidget*>(QStringLiteral("compare_rows"));
    const QList<QTreeWidgetItem*> main_rows = rows->findItems(QStringLiteral("MAIN duty table"), Qt::MatchExactly);
    if (!main_rows.isEmpty()) {
        rows->setCurrentItem(main_rows.first());
        auto* cells = compare->findChild<QTableWidget*>(QStringLiteral("compare_cells"));
        cells->setRangeSelected(QTableWidgetSelectionRange(5, 4, 8, 7), true);
        compare->findChild<QPushButton*>(QStringLiteral("compare_check_cells"))->click();
        cells->clearSelection();
    }
    compare->resize(1000, 760);
    QTest::qWait(400);
    compare->grab().save(QStringLiteral("%1/compare-dialog.png").arg(QString::fromLocal8Bit(argv[1])));
    compare->close();

    // Restore Points: one saved before each of two writes.
    QAction* write = window.findChild<QAction*>(QStringLiteral("act_write"));
    QAction* write_all = window.findChild<QAction*>(QStringLiteral("act_write_all"));
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            main->item(2, 3)->setText(QStringLiteral("55"));
        write->trigger();
        QTest::qWait(50);
        QDeadlineTimer write_deadline(5000);
        while (!write_all->isEnabled() && !write_deadline.hasExpired())
            QTest::qWait(20);
    }
    window.findChild<QAction*>(QStringLiteral("act_restore_points"))->trigger();
    auto* points = window.findChild<QDialog*>(QStringLiteral("restore_points_dialog"));
    auto* list = points->findChild<QTreeWidget*>(QStringLiteral("restore_points_list"));
    list->topLevelItem(list->topLevelItemCount() - 1)->setCheckState(3, Qt::Checked);
    list->setCurrentItem(list->topLevelItem(0));
    QTest::qWait(400);
    points->grab().save(QStringLiteral("%1/restore-points.png").arg(QString::fromLocal8Bit(argv[1])));
    points->close();

    // Two overrides running: one counting down, one held until reset.
    tabs->setCurrentIndex(0);
    const struct { const char* output; int percent; int seconds; } held[] = {{"main", 40, 30}, {"gpo1", 100, 0}};
    for (const auto& h : held) {
        window.findChild<QSpinBox*>(QStringLiteral("%1_override").arg(QLatin1String(h.output)))->setValue(h.percent);
        window.findChild<QSpinBox*>(QStringLiteral("%1_override_seconds").arg(QLatin1String(h.output)))->setValue(h.seconds);
        window.findChild<QPushButton*>(QStringLiteral("%1_override_set").arg(QLatin1String(h.output)))->click();
    }
    QTest::qWait(1500);
    window.findChild<QPushButton*>(QStringLiteral("main_override_set"))->parentWidget()->grab().save(
        QStringLiteral("%1/overrides.png").arg(QString::fromLocal8Bit(argv[1])));
    window.findChild<QAction*>(QStringLiteral("act_reset_overrides"))->trigger();

    fw_program_status* dialog = window.findChild<fw_program_status*>(QStringLiteral("fw_program_status"));
    dialog->reset();
    dialog->reset_progress(100);
    dialog->program_progress(64);
    dialog->show();
    QTest::qWait(300);
    dialog->grab().save(QStringLiteral("%1/fw-dialog.png").arg(QString::fromLocal8Bit(argv[1])));
    dialog->hide();
    qInstallMessageHandler(nullptr);
    MainWindow::set_log_window(nullptr);
    return 0;
}
