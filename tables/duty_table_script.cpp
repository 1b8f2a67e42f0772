// Cell scripts: one evaluation per selected cell, in one engine so globals carry over.

#include "tables/duty_table.h"

#include "tables/scripts_dialog.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QStatusTipEvent>
#include <QScriptEngine>
#include <QSignalBlocker>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace {
QModelIndexList sorted_cells(QModelIndexList cells)
{
    std::sort(cells.begin(), cells.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    return cells;
}

void report_script_error(const QString& script, const QString& error)
{
    qCritical() << "Error trying to run script";
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setText(QStringLiteral("Error trying to run script"));
    box.setInformativeText(QStringLiteral("This script threw an error:\n\n") + script
                           + QStringLiteral("\n\nSee the user guide for help with scripting\nError:\n") + error);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

// Lets the event loop run while a script evaluates, and stops the script once its time is up, so a
// script that never ends cannot freeze the window and take unsaved settings with it.
class script_watchdog {
public:
    script_watchdog(QScriptEngine& engine, int limit_ms)
        : engine(engine)
    {
        engine.setProcessEventsInterval(50);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (this->engine.isEvaluating()) {
                expired = true;
                this->engine.abortEvaluation();
            }
        });
        timer.start(limit_ms);
    }

    bool expired = false;

private:
    QScriptEngine& engine;
    QTimer timer;
};
}

int duty_table::scripts_running = 0;

bool duty_table::hold_while_script_runs(std::function<void()> change)
{
    if (!script_running)
        return false;
    held_changes.append(std::move(change));
    return true;
}

bool duty_table::refuse_while_script_runs(bool any_table)
{
    if (!script_running && !(any_table && scripts_running > 0))
        return false;
    tell(QStringLiteral("A cell script is still running; wait for it to finish"));
    return true;
}

void duty_table::tell(const QString& text)
{
    if (text.isEmpty())
        return;
    // Reaches the main window's status bar through the parents, as a status tip does.
    QStatusTipEvent tip(text);
    QCoreApplication::sendEvent(this, &tip);
}

void duty_table::apply_held_changes()
{
    while (!held_changes.isEmpty())
        held_changes.takeFirst()();
}

void duty_table::script()
{
    if (refuse_while_script_runs(true))
        return;
    scripts_dialog dialog(this, last_script);
    if (dialog.exec() != QDialog::Accepted)
        return;
    last_script = dialog.script_text();
    apply_script(last_script);
}

void duty_table::apply_script(const QString& script)
{
    if (refuse_while_script_runs(true))
        return;
    const QModelIndexList cells = sorted_cells(selectedIndexes());
    if (cells.isEmpty())
        return;
    // The window stays live while a long script runs; keep the user from editing the cells under it.
    script_running = true;
    ++scripts_running;
    const EditTriggers triggers = editTriggers();
    setEditTriggers(NoEditTriggers);
    int rewritten = 0;
    {
        const QSignalBlocker blocker(this);
        run_script_on(script, cells, &rewritten);
    }
    setEditTriggers(triggers);
    --scripts_running;
    script_running = false;
    // Cells a failing script rewrote before it failed keep their values, so they are announced too:
    // the surface and the window's change tracking must not miss them.
    if (rewritten > 0) {
        last_change = QStringLiteral("Script on");
        emit_all_cells();
    }
    apply_held_changes();
}

bool duty_table::run_script_on(const QString& script, const QModelIndexList& cells, int* rewritten)
{
    QScriptEngine engine;
    QScriptValue global = engine.globalObject();
    const QModelIndex first = cells.first();
    const QModelIndex last = cells.last();
    global.setProperty(QStringLiteral("sel_num_rows"), last.row() - first.row() + 1);
    global.setProperty(QStringLiteral("sel_num_cols"), last.column() - first.column() + 1);
    script_watchdog watchdog(engine, script_limit_ms);

    for (const QModelIndex& cell : cells) {
        bool ok = false;
        const int old = cell_int(cell.row(), cell.column(), &ok);
        if (!ok)
            continue;
        global.setProperty(QStringLiteral("old"), old);
        global.setProperty(QStringLiteral("abs_row"), cell.row());
        global.setProperty(QStringLiteral("abs_col"), cell.column());
        global.setProperty(QStringLiteral("sel_row"), cell.row() - first.row());
        global.setProperty(QStringLiteral("sel_col"), cell.column() - first.column());

        const QScriptValue result = engine.evaluate(script);
        if (watchdog.expired || engine.hasUncaughtException()) {
            const QString error = watchdog.expired
                ? QStringLiteral("Error: the script ran for more than %1 s and was stopped")
                      .arg(script_limit_ms / 1000.0)
                : engine.uncaughtException().toString();
            report_script_error(script, error);
            return false;
        }
        const double value = qBound(0.0, result.toInteger(), 100.0);
        set_cell(cell.row(), cell.column(), QString::number(int(value)));
        ++*rewritten;
    }
    return true;
}
