#include "tables/scripts_dialog.h"
#include "tests/support/log_capture.h"
#include "tests/tables/grid_fixture.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBox>
#include <QtTest>

namespace {
// Notes the error box's texts and whether it is a parentless warning with OK as default, then presses OK.
std::unique_ptr<modal_answer> answer_box(QStringList& seen)
{
    return std::make_unique<modal_answer>([&seen](QWidget* w) {
        QMessageBox* box = qobject_cast<QMessageBox*>(w);
        seen << box->text() << box->informativeText();
        seen << QString::number(box->icon() == QMessageBox::Warning && !box->parentWidget()
                                && box->defaultButton() == box->button(QMessageBox::Ok));
        box->button(QMessageBox::Ok)->click();
    });
}

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

    void dialog_and_templates()
    {
        scripts_dialog dialog(nullptr, QString());
        QStringList labels;
        for (const char* name : {"blank", "help", "add", "multiply", "divide", "invert", "h_gradient", "v_gradient",
                                 "hv_gradient"}) {
            QPushButton* b = dialog.findChild<QPushButton*>(name);
            labels << QString::number(dialog.findChild<QToolBox*>("toolBox")->indexOf(b->parentWidget())) + b->text();
        }
        QCOMPARE(labels.join(','), QString("0Blank Script,0Help,0Add to each cell,0Multiply to each cell,"
                                           "0Divide to each cell,0Invert cells,1Horizontal Gradient,"
                                           "1Vertical Gradient,1Diagonal Gradient"));
        // An empty script opens on the help text; anything else opens as given.
        QCOMPARE(dialog.script_text(), template_of("help"));
        QCOMPARE(template_of("help").split('\n').at(36), QString("//    Math.max([value1 [, value2 [, ...]]])"));
        QCOMPARE(scripts_dialog(nullptr, "old;").script_text(), QString("old;"));
        QCOMPARE(template_of("blank"), QString());
    }

    void templates_results_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("rows"); // top and bottom row of the 3 x 5 selection at rows 4..6, columns 2..6
        QTest::newRow("add") << template_of("add") << "90" << "100 100 100 100 100|100 100 100 100 100";
        QTest::newRow("multiply") << template_of("multiply").replace("old * 2;", "old * 1.25;") << "10"
                                  << "12 12 12 12 12|12 12 12 12 12";
        QTest::newRow("divide") << template_of("divide") << "15" << "7 7 7 7 7|7 7 7 7 7";
        QTest::newRow("invert") << template_of("invert") << "30" << "70 70 70 70 70|70 70 70 70 70";
        QTest::newRow("help") << template_of("help") << "30" << "55 55 55 55 55|55 55 55 55 55";
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
        QCOMPARE(updates->count(), 1);
        QCOMPARE(sent(0).at((15 - 6) * 16 + 6), rows.split(' ').last().toDouble());
        QVERIFY(!t->signalsBlocked());
        QVERIFY(log.entries().isEmpty());
    }

    void results_converted_and_clamped()
    {
        fill("10");
        select(0, 0, 0, 6);
        t->apply_script("[150, -3, 99.9, -0.5, 'abc', 1/0, '42'][abs_col];");
        QCOMPARE(block(0, 0, 0, 6), QString("100 0 99 0 0 100 42"));
        QCOMPARE(t->item(0, 2)->background().color(), QColor(255, 127, 127));
        // The one-column horizontal gradient divides by zero: not a number, so 0.
        select(2, 3, 5, 3);
        t->apply_script(template_of("h_gradient"));
        QCOMPARE(block(2, 3, 6, 3), QString("0|0|0|0|10"));
        // Cells that do not hold an integer are skipped.
        t->item(8, 1)->setText("abc");
        t->item(8, 2)->setText("1.5");
        select(8, 0, 8, 3);
        t->apply_script("old + sel_col;");
        QCOMPARE(block(8, 0, 8, 3), QString("10 abc 1.5 13"));
        QCOMPARE(updates->count(), 3);
    }

    void globals_persist_between_cells()
    {
        fill("50");
        const QString counter = "if (typeof counter == 'undefined') { counter = 0; } else { counter += 1; } counter;";
        select(7, 4, 7, 7);
        t->apply_script(counter);
        QCOMPARE(block(7, 4, 7, 7), QString("0 1 2 3"));
        t->apply_script(counter); // each run starts with a fresh engine
        QCOMPARE(block(7, 4, 7, 7), QString("0 1 2 3"));
        select(9, 10, 10, 12);
        t->apply_script("abs_row * 4 + abs_col - 40 + sel_row * 10 + sel_col;");
        QCOMPARE(block(9, 10, 10, 12), QString("6 8 10|20 22 24"));
        t->apply_script("sel_num_rows * 10 + sel_num_cols;");
        QCOMPARE(block(10, 10, 10, 12), QString("23 23 23"));
    }

    // A throw, a runaway loop (stopped after its time limit while the window keeps handling events) and a
    // syntax error each leave the cells done before, send nothing and say what went wrong.
    void failing_scripts_keep_cells_done_before()
    {
        log_capture log;
        fill("20");
        select(1, 0, 1, 3);
        const QString thrower = "if (sel_col == 2) throw new Error('boom'); old + 1;";
        QStringList seen;
        auto answer = answer_box(seen);
        t->apply_script(thrower);
        QVERIFY(answer->answered());
        QCOMPARE(seen, (QStringList{"Error trying to run script", error_text(thrower, "Error: boom"), "1"}));
        QCOMPARE(block(1, 0, 1, 3), QString("21 21 20 20"));

        t->set_script_time_limit(300);
        bool ran_during_script = false;
        QTimer::singleShot(20, [&] { ran_during_script = QApplication::activeModalWidget() == nullptr; });
        const QString runaway = "if (sel_col == 2) { while (true) {} } old + 1;";
        answer = answer_box(seen);
        t->apply_script(runaway);
        QVERIFY(ran_during_script);
        QCOMPARE(seen.value(4), error_text(runaway, "Error: the script ran for more than 0.3 s and was stopped"));
        QCOMPARE(block(1, 0, 1, 3), QString("22 22 20 20"));

        answer = answer_box(seen);
        t->apply_script("old +;");
        QCOMPARE(seen.value(7), error_text("old +;", "SyntaxError: Parse error"));
        QCOMPARE(block(1, 0, 1, 3), QString("22 22 20 20"));
        QCOMPARE(updates->count(), 0);
        QVERIFY(!t->signalsBlocked());
        QCOMPARE(log.texts(QtCriticalMsg), QStringList(QVector<QString>(3, "Error trying to run script").toList()));
        t->apply_script("old + 2;");
        QCOMPARE(block(1, 0, 1, 3), QString("24 24 22 22"));
        QCOMPARE(updates->count(), 1);
    }

    void dialog_flow_keeps_last_script()
    {
        fill("10");
        select(0, 0, 0, 1);
        QString shown;
        // Notes the text the dialog opened with, types a new one and presses OK or Cancel.
        const auto run = [&](const QString& text, bool ok) {
            modal_answer answer([&](QWidget* w) {
                QPlainTextEdit* edit = w->findChild<QPlainTextEdit*>("script_edit");
                shown = edit->toPlainText();
                edit->setPlainText(text);
                ok ? qobject_cast<QDialog*>(w)->accept() : qobject_cast<QDialog*>(w)->reject();
            });
            t->script();
            return answer.answered() ? shown + "|" + t->last_script + "|" + block(0, 0, 0, 2) : QString();
        };
        QCOMPARE(run("old * 3;", true), template_of("help") + "|old * 3;|30 30 10");
        QCOMPARE(run("old + 1;", false), QString("old * 3;|old * 3;|30 30 10"));
        t->clearSelection();
        QCOMPARE(run("old + 5;", true), QString("old * 3;|old + 5;|30 30 10"));
        QCOMPARE(updates->count(), 1);
    }
};

QTEST_MAIN(tst_duty_script)
#include "tst_duty_script.moc"
