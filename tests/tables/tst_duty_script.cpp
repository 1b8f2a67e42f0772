#include "model/conv.h"
#include "tables/scripts_dialog.h"
#include "tests/support/log_capture.h"
#include "tests/tables/grid_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QStatusTipEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {
// Notes each error box's texts and whether it is a parentless warning with OK as default, then presses OK;
// it polls, so a test never blocks on exec().
struct box_answer : QObject {
    QStringList seen;
    QTimer timer;
    box_answer()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->text() << box->informativeText();
                seen << QString::number(box->icon() == QMessageBox::Warning && !box->parentWidget()
                                        && box->defaultButton() == box->button(QMessageBox::Ok));
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(5);
    }
};

QString template_of(const char* button)
{
    scripts_dialog dialog(nullptr, "x");
    dialog.findChild<QPushButton*>(button)->click();
    return dialog.script_text();
}

QString error_text(const QString& script, const QString& error)
{
    return "This script threw an error:\n\n" + script + "\n\nSee the user guide for help with scripting\nError:\n"
           + error;
}
}

class tst_duty_script : public grid_test {
    Q_OBJECT

private slots:
    void init() { make_grid(); }

    void templates_results_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("rows"); // top and bottom row of the 3 x 5 selection at rows 4..6, columns 2..6
        QTest::newRow("add") << template_of("add") << "90" << "100 100 100 100 100|100 100 100 100 100";
        QTest::newRow("multiply") << template_of("multiply").replace("old * 2;", "old * 1.25;") << "10"
                                  << "12 12 12 12 12|12 12 12 12 12";
        QTest::newRow("invert") << template_of("invert") << "30" << "70 70 70 70 70|70 70 70 70 70";
        QTest::newRow("horizontal") << template_of("h_gradient") << "7" << "0 25 50 75 100|0 25 50 75 100";
        QTest::newRow("vertical") << template_of("v_gradient") << "7" << "100 100 100 100 100|0 0 0 0 0";
        QTest::newRow("diagonal") << template_of("hv_gradient") << "7" << "20 40 60 80 100|0 20 40 60 80";
    }

    void templates_results()
    {
        QFETCH(QString, script);
        QFETCH(QString, start);
        QFETCH(QString, rows);
        log_capture log;
        fill(start);
        select(4, 2, 6, 6);
        t->apply_script(script);
        QCOMPARE(block(4, 2, 4, 6) + "|" + block(6, 2, 6, 6), rows);
        QCOMPARE(block(3, 1, 3, 3) + " " + block(5, 7, 5, 9), (start + " ").repeated(6).trimmed());
        QCOMPARE(sent(0).at((15 - 6) * 16 + 6), rows.split(' ').last().toDouble());
        QVERIFY(updates->count() == 1 && log.entries().isEmpty());
    }

    // Results are converted and clamped; globals live across the cells of one run, not across runs.
    void results_and_globals()
    {
        fill("10");
        select(0, 0, 0, 6);
        t->apply_script("[150, -3, 99.9, -0.5, 'abc', 1/0, '42'][abs_col];");
        QCOMPARE(block(0, 0, 0, 6), QString("100 0 99 0 0 100 42"));
        // The one-column horizontal gradient divides by zero: not a number, so 0.
        select(2, 3, 5, 3);
        t->apply_script(template_of("h_gradient"));
        QCOMPARE(block(2, 3, 6, 3), QString("0|0|0|0|10"));
        const QString counter = "if (typeof counter == 'undefined') { counter = 0; } else { counter += 1; } counter;";
        select(7, 4, 7, 7);
        t->apply_script(counter);
        QCOMPARE(block(7, 4, 7, 7), QString("0 1 2 3"));
        t->apply_script(counter);
        QCOMPARE(block(7, 4, 7, 7), QString("0 1 2 3"));
        select(9, 10, 10, 12);
        t->apply_script("abs_row * 4 + abs_col - 40 + sel_row * 10 + sel_col;");
        QCOMPARE(block(9, 10, 10, 12), QString("6 8 10|20 22 24"));
        QCOMPARE(updates->count(), 5);
    }

    // A throw, a runaway loop (stopped after its time limit while the window keeps handling events) and a
    // syntax error each leave the cells done before, announce those, and say what went wrong.
    void failing_scripts_keep_cells_done_before()
    {
        log_capture log;
        fill("20");
        select(1, 0, 1, 3);
        const QString thrower = "if (sel_col == 2) throw new Error('boom'); old + 1;";
        box_answer box;
        t->apply_script(thrower);
        QCOMPARE(box.seen, (QStringList{"Error trying to run script", error_text(thrower, "Error: boom"), "1"}));
        QCOMPARE(block(1, 0, 1, 3), QString("21 21 20 20"));

        t->set_script_time_limit(300);
        bool ran_during_script = false;
        QTimer::singleShot(20, [&] { ran_during_script = QApplication::activeModalWidget() == nullptr; });
        const QString runaway = "if (sel_col == 2) { while (true) {} } old + 1;";
        t->apply_script(runaway);
        QVERIFY(ran_during_script);
        QCOMPARE(box.seen.value(4), error_text(runaway, "Error: the script ran for more than 0.3 s and was stopped"));
        QCOMPARE(block(1, 0, 1, 3), QString("22 22 20 20"));

        t->apply_script("old +;");
        QCOMPARE(box.seen.value(7), error_text("old +;", "SyntaxError: Parse error"));
        QVERIFY(updates->count() == 2 && !t->signalsBlocked()); // the syntax error changed no cell

        QCOMPARE(log.texts(QtCriticalMsg).join('|'), QString("Error trying to run script|").repeated(3).chopped(1));
        t->apply_script("old + 2;");
        QCOMPARE(block(1, 0, 1, 3), QString("24 24 22 22"));
        QCOMPARE(updates->count(), 3);
    }

    // While a script runs the event loop turns: a read from the unit and a fill wait for it and then
    // each report their own change; pastes, clears, cuts and other scripts are refused with a status tip.
    void changes_during_a_script_wait_or_are_refused()
    {
        converter conv;
        t->conv = &conv;
        duty_table other(16, 16);
        QStringList tips;
        status_tips catcher(tips);
        t->installEventFilter(&catcher);
        other.installEventFilter(&catcher);
        fill("10");
        select(0, 0, 0, 1);
        QApplication::clipboard()->setText("77\n");
        QTimer::singleShot(0, [&] {
            t->paste();
            t->clear();
            t->cut();
            t->apply_script("1;");
            other.selectAll();
            other.apply_script("1;");
            t->from_byteArray(QByteArray(512, char(0)).replace(510, 2, "\x03\xff"));
            t->set_all_cells("30");
            t->run_op(table_op::smooth);
        });
        t->apply_script("var end = Date.now() + 200; while (Date.now() < end) {} old + abs_col + 1;");
        QCOMPARE(updates->count(), 3);
        QCOMPARE(sent(0).mid(15 * 16, 3), (QVector<double>{11, 12, 10})); // the script's, on row 0
        QCOMPARE(sent(1).mid(254), (QVector<double>{0, 100}));             // the read, then the fill
        QCOMPARE(sent(2), QVector<double>(256, 30));
        QCOMPARE(tips, QVector<QString>(6, "A cell script is still running; wait for it to finish").toList());
        QCOMPARE(other.item(0, 0)->text() + QApplication::clipboard()->text(), QString("077\n"));
        // Afterwards everything is let through again.
        t->paste();
        QCOMPARE(block(0, 0, 0, 2), QString("77 77 30"));
        // Blank Script leaves the editor empty, without grey sample text.
        scripts_dialog dialog(nullptr, "x");
        dialog.findChild<QPushButton*>("blank")->click();
        auto* edit = dialog.findChild<QPlainTextEdit*>("script_edit");
        QCOMPARE(edit->toPlainText() + edit->placeholderText(), QString());
    }
};

QTEST_MAIN(tst_duty_script)
#include "tst_duty_script.moc"
