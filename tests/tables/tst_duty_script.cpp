#include "tables/duty_table.h"
#include "tables/scripts_dialog.h"
#include "tests/support/log_capture.h"
#include "tests/tables/modal_answer.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolBox>
#include <QtTest>

namespace {
// Reads the error box (its text, informative text and whether it is a parentless warning with OK as
// default) and closes it with OK.
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

class tst_duty_script : public QObject {
    Q_OBJECT
private slots:
    void init();
    void dialog_and_templates();
    void templates_results_data();
    void templates_results();
    void results_converted_and_clamped();
    void globals_persist_between_cells();
    void error_on_third_cell_keeps_first_two();
    void runaway_script_stopped();
    void dialog_flow_keeps_last_script();

private:
    std::unique_ptr<duty_table> t;
    std::unique_ptr<QSignalSpy> updates;

    void fill(const QString& text)
    {
        t->set_all_cells(text);
        updates->clear();
    }
    void select(int top, int left, int bottom, int right)
    {
        t->clearSelection();
        t->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    }
    // The texts of one row's cells, separated by spaces.
    QString row(int r, int from, int to) const
    {
        QStringList out;
        for (int c = from; c <= to; ++c)
            out << t->item(r, c)->text();
        return out.join(' ');
    }
};

void tst_duty_script::init()
{
    t.reset(new duty_table(16, 16));
    t->setSelectionMode(QAbstractItemView::ContiguousSelection);
    updates.reset(new QSignalSpy(t.get(), &duty_table::many_cells_updated));
}

void tst_duty_script::dialog_and_templates()
{
    scripts_dialog dialog(nullptr, QString());
    QCOMPARE(dialog.windowTitle(), QString("Dialog"));
    QToolBox* box = dialog.findChild<QToolBox*>("toolBox");
    QCOMPARE(box->itemText(0) + "," + box->itemText(1), QString("Basic,Gradient"));
    const char* const buttons[][2] = {
        {"blank", "Blank Script"}, {"help", "Help"}, {"add", "Add to each cell"},
        {"multiply", "Multiply to each cell"}, {"divide", "Divide to each cell"}, {"invert", "Invert cells"},
        {"h_gradient", "Horizontal Gradient"}, {"v_gradient", "Vertical Gradient"},
        {"hv_gradient", "Diagonal Gradient"},
    };
    for (int i = 0; i < 9; ++i) {
        QPushButton* b = dialog.findChild<QPushButton*>(buttons[i][0]);
        QCOMPARE(b->text(), QString(buttons[i][1]));
        QCOMPARE(box->indexOf(b->parentWidget()), i < 6 ? 0 : 1);
    }
    // An empty script opens on the help text; anything else opens as given.
    QCOMPARE(dialog.script_text(), template_of("help"));
    QCOMPARE(scripts_dialog(nullptr, "old;").script_text(), QString("old;"));
    QCOMPARE(template_of("blank"), QString());

    // Line counts and final line feeds; what each template computes is checked by running it.
    const QList<QPair<const char*, int>> shapes = {
        {"help", 44}, {"add", 3}, {"multiply", 3}, {"divide", 1}, {"invert", 2},
        {"h_gradient", 11}, {"v_gradient", 11}, {"hv_gradient", 22},
    };
    for (const auto& s : shapes) {
        const QString text = template_of(s.first);
        const bool final_lf = QByteArray(s.first) == "help" || QByteArray(s.first).endsWith("gradient");
        QCOMPARE(text.endsWith('\n'), final_lf);
        QCOMPARE(text.count('\n') + (final_lf ? 0 : 1), s.second);
    }
    QCOMPARE(template_of("help").split('\n').at(36), QString("//    Math.max([value1 [, value2 [, ...]]])"));
    QCOMPARE(template_of("invert"), QString("// Inverts cells, so 100 becomes 0 and so on\nMath.abs(old-100);"));
}

void tst_duty_script::templates_results_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("top_row");
    QTest::addColumn<QString>("bottom_row");
    // A 3 x 5 selection at rows 4..6, columns 2..6.
    QTest::newRow("add") << template_of("add") << "90" << "100 100 100 100 100" << "100 100 100 100 100";
    QTest::newRow("multiply") << template_of("multiply").replace("old * 2;", "old * 1.25;") << "10"
                              << "12 12 12 12 12" << "12 12 12 12 12";
    QTest::newRow("divide") << template_of("divide") << "15" << "7 7 7 7 7" << "7 7 7 7 7";
    QTest::newRow("invert") << template_of("invert") << "30" << "70 70 70 70 70" << "70 70 70 70 70";
    QTest::newRow("help") << template_of("help") << "30" << "55 55 55 55 55" << "55 55 55 55 55";
    QTest::newRow("horizontal") << template_of("h_gradient") << "7" << "0 25 50 75 100" << "0 25 50 75 100";
    QTest::newRow("vertical") << template_of("v_gradient") << "7" << "100 100 100 100 100" << "0 0 0 0 0";
    QTest::newRow("diagonal") << template_of("hv_gradient") << "7" << "20 40 60 80 100" << "0 20 40 60 80";
}

void tst_duty_script::templates_results()
{
    QFETCH(QString, script);
    QFETCH(QString, start);
    QFETCH(QString, top_row);
    QFETCH(QString, bottom_row);
    log_capture log;
    fill(start);
    select(4, 2, 6, 6);
    t->apply_script(script);
    QCOMPARE(row(4, 2, 6), top_row);
    QCOMPARE(row(6, 2, 6), bottom_row);
    const QString untouched = QStringList{start, start, start}.join(' ');
    QCOMPARE(row(3, 1, 3), untouched);
    QCOMPARE(row(5, 7, 9), untouched);
    QCOMPARE(updates->count(), 1);
    QCOMPARE(updates->at(0).at(0).value<QVector<double>>().at((15 - 6) * 16 + 6),
             bottom_row.split(' ').last().toDouble());
    QVERIFY(!t->signalsBlocked());
    QVERIFY(log.entries().isEmpty());
}

void tst_duty_script::results_converted_and_clamped()
{
    fill("10");
    select(0, 0, 0, 6);
    t->apply_script("[150, -3, 99.9, -0.5, 'abc', 1/0, '42'][abs_col];");
    QCOMPARE(row(0, 0, 6), QString("100 0 99 0 0 100 42"));
    QCOMPARE(t->item(0, 2)->background().color(), QColor(255, 127, 127));

    // The one-column horizontal gradient divides by zero: not a number, so 0.
    select(2, 3, 5, 3);
    t->apply_script(template_of("h_gradient"));
    QCOMPARE(t->item(2, 3)->text() + t->item(5, 3)->text() + t->item(6, 3)->text(), QString("0010"));

    // Cells that do not hold an integer are skipped.
    t->item(8, 1)->setText("abc");
    t->item(8, 2)->setText("1.5");
    select(8, 0, 8, 3);
    t->apply_script("old + sel_col;");
    QCOMPARE(row(8, 0, 3), QString("10 abc 1.5 13"));
    QCOMPARE(updates->count(), 3);
}

void tst_duty_script::globals_persist_between_cells()
{
    fill("50");
    const QString counter = "if (typeof counter == 'undefined') { counter = 0; } else { counter += 1; } counter;";
    select(7, 4, 7, 7);
    t->apply_script(counter);
    QCOMPARE(row(7, 4, 7), QString("0 1 2 3"));
    t->apply_script(counter); // each run starts with a fresh engine
    QCOMPARE(row(7, 4, 7), QString("0 1 2 3"));

    select(9, 10, 10, 12);
    t->apply_script("abs_row * 4 + abs_col - 40 + sel_row * 10 + sel_col;");
    QCOMPARE(row(9, 10, 12) + "|" + row(10, 10, 12), QString("6 8 10|20 22 24"));
    t->apply_script("sel_num_rows * 10 + sel_num_cols;");
    QCOMPARE(row(10, 10, 12), QString("23 23 23"));
}

void tst_duty_script::error_on_third_cell_keeps_first_two()
{
    log_capture log;
    fill("20");
    select(1, 0, 1, 3);
    const QString script = "if (sel_col == 2) throw new Error('boom'); old + 1;";
    QStringList seen;
    auto answer = answer_box(seen);
    t->apply_script(script);
    QVERIFY(answer->answered());
    QCOMPARE(row(1, 0, 3), QString("21 21 20 20"));
    QCOMPARE(updates->count(), 0);
    QVERIFY(!t->signalsBlocked());
    QCOMPARE(log.texts(QtCriticalMsg), QStringList{"Error trying to run script"});
    QCOMPARE(seen, (QStringList{"Error trying to run script", error_text(script, "Error: boom"), "1"}));

    // A syntax error stops the run before any cell changes.
    seen.clear();
    answer = answer_box(seen);
    t->apply_script("old +;");
    QCOMPARE(seen.value(1), error_text("old +;", "SyntaxError: Parse error"));
    QCOMPARE(row(1, 0, 3), QString("21 21 20 20"));
    QCOMPARE(updates->count(), 0);
}

// A script that never ends is stopped after its time limit; the window keeps handling events meanwhile.
void tst_duty_script::runaway_script_stopped()
{
    log_capture log;
    fill("20");
    select(1, 0, 1, 3);
    t->set_script_time_limit(300);
    bool ran_during_script = false;
    QTimer::singleShot(20, [&] { ran_during_script = QApplication::activeModalWidget() == nullptr; });
    const QString script = "if (sel_col == 2) { while (true) {} } old + 1;";
    QStringList seen;
    auto answer = answer_box(seen);
    t->apply_script(script);
    QVERIFY(answer->answered());
    QVERIFY(ran_during_script);
    QCOMPARE(row(1, 0, 3), QString("21 21 20 20"));
    QCOMPARE(updates->count(), 0);
    QCOMPARE(log.texts(QtCriticalMsg), QStringList{"Error trying to run script"});
    QCOMPARE(seen.value(1), error_text(script, "Error: the script ran for more than 0.3 s and was stopped"));
    t->apply_script("old + 2;");
    QCOMPARE(row(1, 0, 3), QString("23 23 22 22"));
    QCOMPARE(updates->count(), 1);
}

void tst_duty_script::dialog_flow_keeps_last_script()
{
    fill("10");
    select(0, 0, 0, 1);
    QString shown;
    // Notes the text the dialog opened with, types a new one and presses OK or Cancel.
    auto answer_dialog = [&shown](const QString& text, bool ok) {
        return std::make_unique<modal_answer>([&shown, text, ok](QWidget* w) {
            QPlainTextEdit* edit = w->findChild<QPlainTextEdit*>("script_edit");
            shown = edit->toPlainText();
            edit->setPlainText(text);
            ok ? qobject_cast<QDialog*>(w)->accept() : qobject_cast<QDialog*>(w)->reject();
        });
    };
    auto answer = answer_dialog("old * 3;", true);
    t->script();
    QCOMPARE(shown, template_of("help"));
    QCOMPARE(t->last_script, QString("old * 3;"));
    QCOMPARE(row(0, 0, 2), QString("30 30 10"));

    answer = answer_dialog("old + 1;", false);
    t->script();
    QCOMPARE(shown, QString("old * 3;"));
    QCOMPARE(t->last_script, QString("old * 3;"));
    QCOMPARE(row(0, 0, 2), QString("30 30 10"));

    t->clearSelection();
    answer = answer_dialog("old + 5;", true);
    t->script();
    QVERIFY(answer->answered());
    QCOMPARE(t->last_script, QString("old + 5;"));
    QCOMPARE(row(0, 0, 2), QString("30 30 10"));
    QCOMPARE(updates->count(), 1);
}

QTEST_MAIN(tst_duty_script)
#include "tst_duty_script.moc"
