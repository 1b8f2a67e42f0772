#include "tables/duty_colours.h"
#include "tables/duty_table.h"
#include "tables/duty_table_delegate.h"
#include "tables/duty_table_editor.h"
#include "tests/support/log_capture.h"
#include "tests/tables/modal_answer.h"

#include <QClipboard>
#include <QMenu>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

class tst_duty_edit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void colours_and_disabled_look();
    void copy_cut_delete();
    void paste_single_value();
    void paste_refused_shapes();
    void paste_blocks();
    void keys_and_context_menu();
    void cell_editor();

private:
    std::unique_ptr<duty_table> t;
    std::unique_ptr<QSignalSpy> updates;

    void select(int top, int left, int bottom, int right)
    {
        t->clearSelection();
        t->setRangeSelected(QTableWidgetSelectionRange(top, left, bottom, right), true);
    }
    // The texts of a block, cells separated by spaces and rows by '|'.
    QString block(int top, int left, int bottom, int right) const
    {
        QStringList rows;
        for (int r = top; r <= bottom; ++r) {
            QStringList cells;
            for (int c = left; c <= right; ++c)
                cells << t->item(r, c)->text();
            rows << cells.join(' ');
        }
        return rows.join('|');
    }
    void paste(const QString& text)
    {
        QApplication::clipboard()->setText(text);
        t->paste();
    }
    static QString clipboard() { return QApplication::clipboard()->text(); }
};

// Every cell starts as row + column.
void tst_duty_edit::init()
{
    t.reset(new duty_table(16, 16));
    t->setSelectionMode(QAbstractItemView::ContiguousSelection);
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c)
            t->item(r, c)->setText(QString::number(r + c));
    updates.reset(new QSignalSpy(t.get(), &duty_table::many_cells_updated));
    QApplication::clipboard()->clear();
}

void tst_duty_edit::colours_and_disabled_look()
{
    // Each band's first and last duty; white text only on the two blue bands.
    const int edges[][4] = {
        {0, 255, 255, 255}, {1, 127, 127, 255}, {10, 127, 127, 255}, {11, 127, 191, 255}, {21, 127, 191, 255},
        {22, 127, 255, 255}, {32, 127, 255, 255}, {33, 127, 255, 191}, {43, 127, 255, 191}, {44, 127, 255, 127},
        {54, 127, 255, 127}, {55, 191, 255, 127}, {65, 191, 255, 127}, {66, 255, 255, 127}, {76, 255, 255, 127},
        {77, 255, 191, 127}, {87, 255, 191, 127}, {88, 255, 127, 127}, {255, 255, 127, 127},
    };
    for (const auto& e : edges) {
        QCOMPARE(duty_colours(quint8(e[0])).background, QColor(e[1], e[2], e[3]));
        QCOMPARE(duty_colours(quint8(e[0])).text, QColor(e[0] >= 1 && e[0] <= 21 ? Qt::white : Qt::black));
    }

    t->item(0, 0)->setText("5"); // a single edit recolours through cellChanged
    t->item(0, 1)->setText("150");
    t->item(0, 2)->setText("-4");
    QCOMPARE(t->item(0, 0)->background().color(), QColor(127, 127, 255));
    QCOMPARE(t->item(0, 0)->foreground().color(), QColor(Qt::white));
    QCOMPARE(t->item(0, 1)->background().color(), QColor(255, 127, 127));
    QCOMPARE(t->item(0, 2)->background().color(), QColor(255, 255, 255));

    select(2, 2, 3, 3);
    t->setEnabled(false);
    QVERIFY(t->selectionModel()->selectedIndexes().isEmpty());
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            QCOMPARE(t->item(r, c)->foreground().color(), QColor(Qt::lightGray));
            QCOMPARE(t->item(r, c)->background().color(), QColor(Qt::white));
        }
    t->setEnabled(true);
    QCOMPARE(t->item(0, 0)->background().color(), QColor(127, 127, 255));
    QCOMPARE(t->item(15, 15)->background().color(), QColor(127, 255, 255));
    QCOMPARE(t->item(15, 15)->foreground().color(), QColor(Qt::black));
    QCOMPARE(updates->count(), 0);
}

void tst_duty_edit::copy_cut_delete()
{
    select(1, 2, 2, 4);
    t->copy();
    QCOMPARE(clipboard(), QString("3\t4\t5\n4\t5\t6\n"));
    select(7, 8, 7, 8);
    t->copy();
    QCOMPARE(clipboard(), QString("15\n"));
    t->clearSelection();
    t->copy();
    t->clear();
    QCOMPARE(clipboard(), QString("15\n"));
    QCOMPARE(updates->count(), 0);

    select(0, 0, 1, 1);
    t->clear();
    QCOMPARE(block(0, 0, 1, 2), QString("0 0 2|0 0 3"));
    QCOMPARE(t->item(1, 1)->background().color(), QColor(255, 255, 255));
    QCOMPARE(updates->count(), 1);
    const QVector<double> values = updates->at(0).at(0).value<QVector<double>>();
    QCOMPARE(values.size(), 256);
    QCOMPARE(values.mid(15 * 16, 3), (QVector<double>{0, 0, 2})); // row 0 comes last
    QCOMPARE(values.at(0), 15.0);

    select(5, 5, 5, 6);
    t->cut();
    QCOMPARE(clipboard(), QString("10\t11\n"));
    QCOMPARE(block(5, 4, 5, 7), QString("9 0 0 12"));
    QCOMPARE(updates->count(), 2);
}

void tst_duty_edit::paste_single_value()
{
    select(3, 3, 3, 5);
    paste("55");
    QCOMPARE(block(3, 3, 3, 5), QString("6 7 8"));
    QCOMPARE(updates->count(), 0);
    paste("55\n");
    QCOMPARE(block(3, 2, 3, 6), QString("5 55 55 55 9"));
    QCOMPARE(t->item(3, 4)->background().color(), QColor(191, 255, 127));
    QCOMPARE(updates->count(), 1);
    paste("60\r\n"); // spreadsheets end lines with CR LF
    QCOMPARE(t->item(3, 3)->text(), QString("60"));
    QCOMPARE(updates->count(), 2);
    t->clearSelection();
    paste("70\n");
    QCOMPARE(t->item(3, 3)->text(), QString("60"));
    QCOMPARE(updates->count(), 2);
}

void tst_duty_edit::paste_refused_shapes()
{
    log_capture log;
    select(0, 0, 0, 1);
    t->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
    for (const char* text : {"", "1\t2\n3\n", "1\t2\n3\t4\t5\n", "1\t2\t3", "x\n"})
        paste(text);
    QCOMPARE(log.texts(), QStringList{"Text in clipboard not a valid number \"x\""});
    QCOMPARE(log.texts(QtWarningMsg).size(), 1);
    QCOMPARE(block(0, 0, 1, 2), QString("0 1 2|1 2 3"));
    QCOMPARE(updates->count(), 0);
}

void tst_duty_edit::paste_blocks()
{
    log_capture log;
    t->setCurrentCell(4, 6);
    paste("1\t2\t3\n4\t\t6\n");
    QCOMPARE(block(4, 5, 6, 9), QString("9 1 2 3 13|10 4 0 6 14|11 12 13 14 15"));
    QCOMPARE(t->item(4, 6)->background().color(), QColor(127, 127, 255));
    QCOMPARE(updates->count(), 1);
    QCOMPARE(updates->at(0).at(0).value<QVector<double>>().at(11 * 16 + 7), 2.0);

    // A ragged text whose piece count still divides evenly is laid out row by row.
    t->setCurrentCell(0, 0);
    paste("7\t8\t9\n10\n11\t12\n");
    QCOMPARE(block(0, 0, 2, 2), QString("7 8 2|9 10 3|11 12 4"));
    // Trailing empty pieces are dropped; values are stored unchecked.
    t->setCurrentCell(8, 0);
    paste("250\t-3\r\n\n");
    QCOMPARE(block(8, 0, 9, 1), QString("250 9|-3 10"));
    // Clipped at the table's edge.
    t->setCurrentCell(14, 14);
    paste("1\t2\t3\t4\n5\t6\t7\t8\n9\t10\t11\t12\n13\t14\t15\t16\n");
    QCOMPARE(block(13, 13, 15, 15), QString("26 27 28|27 1 2|28 5 6"));
    QCOMPARE(updates->count(), 4);
    QVERIFY(log.entries().isEmpty());

    // Pieces that are not integers are skipped, the rest pasted.
    t->setCurrentCell(0, 0);
    paste("1\t2.5\n3\tabc\n");
    QCOMPARE(log.texts(QtWarningMsg), (QStringList{"Text in clipboard not a valid number \"2.5\"",
                                                   "Text in clipboard not a valid number \"abc\""}));
    QCOMPARE(block(0, 0, 1, 1), QString("1 8|3 10"));
    QCOMPARE(updates->count(), 5);
}

void tst_duty_edit::keys_and_context_menu()
{
    t->show();
    select(2, 0, 2, 1);
    QTest::keyClick(t.get(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard(), QString("2\t3\n"));
    QTest::keyClick(t.get(), Qt::Key_Delete);
    QCOMPARE(block(2, 0, 2, 1), QString("0 0"));
    select(4, 0, 4, 0);
    t->setCurrentCell(4, 0, QItemSelectionModel::NoUpdate);
    QTest::keyClick(t.get(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(block(4, 0, 4, 2), QString("2 3 6"));
    QTest::keyClick(t.get(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(clipboard(), QString("2\n"));
    QCOMPARE(t->item(4, 0)->text(), QString("0"));
    QCOMPARE(updates->count(), 3);

    select(1, 1, 1, 1);
    QStringList entries;
    modal_answer answer([&](QWidget* w) {
        QMenu* menu = qobject_cast<QMenu*>(w);
        for (QAction* a : menu->actions())
            entries << (a->isSeparator() ? QString("-") : a->text());
        menu->actions().at(1)->trigger();
        menu->close();
    }, modal_answer::popup);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QApplication::sendEvent(t->viewport(), &event);
    QVERIFY(answer.answered());
    QCOMPARE(entries, (QStringList{"Cut (ctrl+x)", "Copy (ctrl+c)", "Paste (ctrl+v)", "Delete (del)", "-",
                                   "Scripts"}));
    QCOMPARE(clipboard(), QString("2\n"));
}

void tst_duty_edit::cell_editor()
{
    log_capture log;
    QWidget parent;
    duty_table_delegate delegate;
    const QModelIndex index = t->model()->index(2, 3);
    auto* editor = qobject_cast<duty_table_editor*>(delegate.createEditor(&parent, {}, index));
    QVERIFY(editor);
    delegate.setEditorData(editor, index);
    QCOMPARE(editor->text(), QString("5"));
    // Past 100 is never acceptable, so the view does not commit it; a fourth digit is refused.
    editor->clear();
    QTest::keyClicks(editor, "101");
    QVERIFY(!editor->hasAcceptableInput());
    editor->clear();
    QTest::keyClicks(editor, "-1000x");
    QCOMPARE(editor->text(), QString("100"));
    editor->setText("42");
    delegate.setModelData(editor, t->model(), index);
    QCOMPARE(t->item(2, 3)->text(), QString("42"));
    QCOMPARE(t->item(2, 3)->background().color(), QColor(127, 255, 191));

    for (int key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_A}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_A ? "a" : "");
        QApplication::sendEvent(editor, &press);
        QCOMPARE(press.isAccepted(), key == Qt::Key_A);
    }
    QVERIFY(log.entries().isEmpty());
    QSpinBox spin;
    delegate.setEditorData(&spin, t->model()->index(4, 7));
    QCOMPARE(log.texts(QtCriticalMsg), QStringList{"Some kind of weird mixup opening up an editor at index 7x4"});
}

QTEST_MAIN(tst_duty_edit)
#include "tst_duty_edit.moc"
