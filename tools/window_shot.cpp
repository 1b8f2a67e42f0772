// Renders the main window, connected to a virtual unit with live updates on, one picture per tab,
// the MAIN table with a few edits and the undo history, and the firmware progress dialog part way
// through a transfer.
// Usage: window_shot <folder>   (writes window-<tab>.png, window-editing.png and fw-dialog.png)

#include "app/app_resources.h"
#include "app/fw_program_status.h"
#include "app/mainwindow.h"
#include "device/d2xx/unit_sources.h"
#include "tables/duty_table.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
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
