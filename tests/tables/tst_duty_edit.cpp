#include "tables/duty_colours.h"
#include "tables/duty_table_delegate.h"
#include "tables/duty_table_editor.h"
#include "tests/support/log_capture.h"
#include "tests/tables/grid_fixture.h"

#include <QClipboard>
#include <QMenu>
#include <QSpinBox>
#include <QtTest>

class tst_duty_edit : public grid_test {
    Q_OBJECT
    void paste(const QString& text, int row = -1, int column = -1)
    {
        if (row >= 0)
            t->setCurrentCell(row, column);
        QApplication::clipboard()->setText(text);
        t->paste();
    }
    static QString clipboard() { return QApplication::clipboard()->text(); }

private slots:
    // Every cell starts as row + column.
    void init()
    {
        make_grid();
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 16; ++c)
                t->item(r, c)->setText(QString::number(r + c));
        updates->clear();
        QApplication::clipboard()->clear();
    }

    // White text only on the two blue bands; a disabled grid greys out and drops its selection.
    void colours_and_disabled_look()
    {
        QString seen;
        for (int duty : {0, 1, 10, 11, 21, 22, 32, 33, 43, 44, 54, 55, 65, 66, 76, 77, 87, 88, 255}) {
            const duty_colour_pair c = duty_colours(quint8(duty));
            seen += c.background.name().mid(1, 6) + (c.text == Qt::white ? "w " : c.text == Qt::black ? " " : "? ");
        }
        QCOMPARE(seen, QString("ffffff 7f7fffw 7f7fffw 7fbfffw 7fbfffw 7fffff 7fffff 7fffbf 7fffbf 7fff7f 7fff7f "
                               "bfff7f bfff7f ffff7f ffff7f ffbf7f ffbf7f ff7f7f ff7f7f "));
        t->item(0, 0)->setText("5");
        t->item(0, 1)->setText("-4");
        QCOMPARE(t->item(0, 0)->background().color().name() + t->item(0, 1)->background().color().name(),
                 QString("#7f7fff#ffffff"));
        QCOMPARE(t->item(0, 0)->foreground().color(), QColor(Qt::white));
        select(2, 2, 3, 3);
        t->setEnabled(false);
        QVERIFY(t->selectionModel()->selectedIndexes().isEmpty());
        for (int i = 0; i < 256; ++i) {
            QCOMPARE(t->item(i / 16, i % 16)->foreground().color(), QColor(Qt::lightGray));
            QCOMPARE(t->item(i / 16, i % 16)->background().color(), QColor(Qt::white));
        }
        t->setEnabled(true);
        QCOMPARE(t->item(15, 15)->background().color(), QColor(127, 255, 255));
        QCOMPARE(t->item(15, 15)->foreground().color(), QColor(Qt::black));
        QCOMPARE(updates->count(), 0);
    }

    void copy_cut_delete()
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
        QCOMPARE(sent(0).size(), 256);
        QCOMPARE(sent(0).mid(15 * 16, 3), (QVector<double>{0, 0, 2})); // row 0 comes last
        QCOMPARE(sent(0).at(0), 15.0);

        select(5, 5, 5, 6);
        t->cut();
        QCOMPARE(clipboard(), QString("10\t11\n"));
        QCOMPARE(block(5, 4, 5, 7), QString("9 0 0 12"));
        QCOMPARE(updates->count(), 2);
    }

    void paste_single_value()
    {
        select(3, 3, 3, 5);
        paste("55");
        QCOMPARE(block(3, 3, 3, 5), QString("6 7 8"));
        QCOMPARE(updates->count(), 0);
        paste("55\n");
        QCOMPARE(block(3, 2, 3, 6), QString("5 55 55 55 9"));
        QCOMPARE(t->item(3, 4)->background().color(), QColor(191, 255, 127));
        paste("60\r\n"); // spreadsheets end lines with CR LF
        QCOMPARE(t->item(3, 3)->text(), QString("60"));
        t->clearSelection();
        paste("70\n");
        QCOMPARE(t->item(3, 3)->text(), QString("60"));
        QCOMPARE(updates->count(), 2);
    }

    void paste_blocks_and_refused_shapes()
    {
        log_capture log;
        select(0, 0, 0, 1);
        t->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
        for (const char* text : {"", "1\t2\n3\n", "1\t2\n3\t4\t5\n", "1\t2\t3", "x\n"})
            paste(text);
        QCOMPARE(log.texts(), QStringList{"Text in clipboard not a valid number \"x\""});
        QCOMPARE(block(0, 0, 1, 2), QString("0 1 2|1 2 3"));
        QCOMPARE(updates->count(), 0);

        log.clear();
        paste("1\t2\t3\n4\t\t6\n", 4, 6);
        QCOMPARE(block(4, 5, 6, 9), QString("9 1 2 3 13|10 4 0 6 14|11 12 13 14 15"));
        QCOMPARE(t->item(4, 6)->background().color(), QColor(127, 127, 255));
        QCOMPARE(sent(0).at(11 * 16 + 7), 2.0);
        // A ragged text whose piece count still divides evenly is laid out row by row.
        paste("7\t8\t9\n10\n11\t12\n", 0, 0);
        QCOMPARE(block(0, 0, 2, 2), QString("7 8 2|9 10 3|11 12 4"));
        // Trailing empty pieces are dropped; values are stored unchecked.
        paste("250\t-3\r\n\n", 8, 0);
        QCOMPARE(block(8, 0, 9, 1), QString("250 9|-3 10"));
        paste("1\t2\t3\t4\n5\t6\t7\t8\n9\t10\t11\t12\n13\t14\t15\t16\n", 14, 14);
        QCOMPARE(block(13, 13, 15, 15), QString("26 27 28|27 1 2|28 5 6"));
        QCOMPARE(updates->count(), 4);
        QVERIFY(log.entries().isEmpty());

        // Pieces that are not integers are skipped, the rest pasted.
        paste("1\t2.5\n3\tabc\n", 0, 0);
        QCOMPARE(log.texts(QtWarningMsg), (QStringList{"Text in clipboard not a valid number \"2.5\"",
                                                       "Text in clipboard not a valid number \"abc\""}));
        QCOMPARE(block(0, 0, 1, 1), QString("1 8|3 10"));
        QCOMPARE(updates->count(), 5);
    }

    void keys_and_context_menu()
    {
        t->show();
        select(2, 0, 2, 1);
        QTest::keyClick(t.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard(), QString("2\t3\n"));
        QTest::keyClick(t.get(), Qt::Key_Delete);
        select(4, 0, 4, 0);
        t->setCurrentCell(4, 0, QItemSelectionModel::NoUpdate);
        QTest::keyClick(t.get(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(t.get(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(clipboard(), QString("2\n"));
        QCOMPARE(block(2, 0, 2, 1) + "|" + block(4, 0, 4, 2), QString("0 0|0 3 6"));
        QCOMPARE(updates->count(), 3);

        select(1, 1, 1, 1);
        QStringList entries;
        modal_answer answer([&](QWidget* w) {
            for (QAction* a : w->actions())
                entries << (a->isSeparator() ? QString("-") : a->text());
            w->actions().at(1)->trigger();
            w->close();
        }, true);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(t->viewport(), &event);
        QVERIFY(answer.answered());
        QCOMPARE(entries.join(','), QString("Cut (ctrl+x),Copy (ctrl+c),Paste (ctrl+v),Delete (del),-,Scripts"));
        QCOMPARE(clipboard(), QString("2\n"));
    }

    void cell_editor()
    {
        log_capture log;
        QWidget parent;
        duty_table_delegate delegate;
        const QModelIndex index = t->model()->index(2, 3);
        auto* editor = qobject_cast<duty_table_editor*>(delegate.createEditor(&parent, {}, index));
        delegate.setEditorData(editor, index);
        QCOMPARE(editor->text(), QString("5"));
        // Past 100 is never acceptable, so the view does not commit it; a fourth digit is refused.
        editor->setText("101");
        QVERIFY(!editor->hasAcceptableInput());
        editor->clear();
        QTest::keyClicks(editor, "-1000x");
        QCOMPARE(editor->text(), QString("100"));
        editor->setText("42");
        delegate.setModelData(editor, t->model(), index);
        QCOMPARE(t->item(2, 3)->text(), QString("42"));

        // Arrow keys go on to the grid.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QApplication::sendEvent(editor, &press);
        QVERIFY(!press.isAccepted());
        QVERIFY(log.entries().isEmpty());
        QSpinBox spin;
        delegate.setEditorData(&spin, t->model()->index(4, 7));
        QCOMPARE(log.texts(QtCriticalMsg), QStringList{"Some kind of weird mixup opening up an editor at index 7x4"});
    }
};

QTEST_MAIN(tst_duty_edit)
#include "tst_duty_edit.moc"
