#include "tables/duty_colours.h"
#include "tables/duty_table_delegate.h"
#include "tables/duty_table_editor.h"
#include "tests/support/log_capture.h"
#include "tests/tables/grid_fixture.h"

#include <QClipboard>
#include <QtTest>

#include <cmath>

class tst_duty_edit : public grid_test {
    Q_OBJECT
    void paste(const QString& text, int row = -1, int column = -1)
    {
        if (row >= 0)
            t->setCurrentCell(row, column);
        QApplication::clipboard()->setText(text);
        t->paste();
    }
    QString colours(int row, int column) const
    {
        return t->item(row, column)->background().color().name() + t->item(row, column)->foreground().color().name();
    }

private slots:
    // Every cell starts as row + column.
    void init()
    {
        make_grid();
        for (int i = 0; i < 256; ++i)
            t->item(i / 16, i % 16)->setText(QString::number(i / 16 + i % 16));
        updates->clear();
    }

    // Without a selection copy and delete do nothing; a disabled grid greys out and drops its selection,
    // enabled again it shows its bands.
    void copy_delete_and_disabled_look()
    {
        select(1, 2, 2, 4);
        t->copy();
        t->clearSelection();
        t->copy();
        t->clear();
        QCOMPARE(QApplication::clipboard()->text(), QString("3\t4\t5\n4\t5\t6\n"));
        QCOMPARE(updates->count(), 0);
        select(0, 0, 1, 1);
        t->clear();
        QCOMPARE(block(0, 0, 1, 2), QString("0 0 2|0 0 3"));
        QCOMPARE(sent(0).mid(15 * 16, 3), (QVector<double>{0, 0, 2})); // row 0 comes last
        t->setEnabled(false);
        QVERIFY(t->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(colours(0, 0) + colours(15, 15), QString("#ffffff#c0c0c0#ffffff#c0c0c0"));
        t->setEnabled(true);
        QCOMPARE(colours(0, 0) + colours(15, 15), QString("#ffffff#000000#7fffff#000000"));
    }

    // Both sides of every band edge of the duty scale, background then text.
    void duty_colours_at_band_edges()
    {
        QStringList seen;
        for (int duty : {0, 1, 10, 11, 21, 22, 32, 33, 43, 44, 54, 55, 65, 66, 76, 77, 87, 88, 100, 255}) {
            const duty_colour_pair c = duty_colours(quint8(duty));
            seen << QString("%1 %2%3").arg(duty).arg(c.background.name(), c.text.name());
        }
        QCOMPARE(seen, (QStringList{"0 #ffffff#000000", "1 #7f7fff#ffffff", "10 #7f7fff#ffffff", "11 #7fbfff#ffffff",
                                    "21 #7fbfff#ffffff", "22 #7fffff#000000", "32 #7fffff#000000", "33 #7fffbf#000000",
                                    "43 #7fffbf#000000", "44 #7fff7f#000000", "54 #7fff7f#000000", "55 #bfff7f#000000",
                                    "65 #bfff7f#000000", "66 #ffff7f#000000", "76 #ffff7f#000000", "77 #ffbf7f#000000",
                                    "87 #ffbf7f#000000", "88 #ff7f7f#000000", "100 #ff7f7f#000000",
                                    "255 #ff7f7f#000000"}));
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
        QCOMPARE(colours(4, 6), QString("#7f7fff#ffffff"));
        QCOMPARE(sent(0).at(11 * 16 + 7), 2.0);
        // A ragged text whose piece count still divides evenly is laid out row by row.
        paste("7\t8\t9\n10\n11\t12\n", 0, 0);
        QCOMPARE(block(0, 0, 2, 2), QString("7 8 2|9 10 3|11 12 4"));
        // Trailing empty pieces are dropped; values are held within 0 to 100 where they land.
        paste("250\t-3\r\n\n", 8, 0);
        QCOMPARE(block(8, 0, 9, 1), QString("100 9|0 10"));
        paste("1\t2\t3\t4\n5\t6\t7\t8\n9\t10\t11\t12\n13\t14\t15\t16\n", 14, 14);
        QCOMPARE(block(13, 13, 15, 15), QString("26 27 28|27 1 2|28 5 6"));
        QCOMPARE(updates->count(), 4);
        QVERIFY(log.entries().isEmpty());
        // Pieces that are not integers are skipped, the rest pasted.
        paste("1\t2.5\n3\tabc\n", 0, 0);
        QCOMPARE(log.texts(QtWarningMsg), (QStringList{"Text in clipboard not a valid number \"2.5\"",
                                                       "Text in clipboard not a valid number \"abc\""}));
        QCOMPARE(block(0, 0, 1, 1), QString("1 8|3 10"));
        // Without a line feed a single value is no paste; with one it fills the selection, and without a
        // selection nothing.
        select(3, 3, 3, 5);
        paste("55");
        paste("55\n");
        QCOMPARE(block(3, 2, 3, 6), QString("5 55 55 55 9"));
        QCOMPARE(colours(3, 4), QString("#bfff7f#000000"));
        paste("60\r\n"); // spreadsheets end lines with CR LF
        t->clearSelection();
        paste("70\n");
        QCOMPARE(block(0, 0, 3, 3), QString("1 8 2 3|3 10 3 4|11 12 4 5|3 4 5 60"));
        QCOMPARE(updates->count(), 7);
    }

    // Past 100 is never acceptable, so the view does not commit it.
    // Each operation on a known block: the cells it gives (rounded half away from zero, held within
    // 0 to 100) and what the status bar is told. Keys reach the grid as a user presses them.
    void operations_on_the_selection_data()
    {
        QTest::addColumn<QString>("setup"); // "row,col=value;..." over cells holding row + column
        QTest::addColumn<QRect>("selected"); // x: column, y: row
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<double>("amount"); // typed into the amount question
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("tip");
        QTest::newRow("H across a row") << "2,0=0;2,4=9" << QRect(0, 2, 5, 1) << int(Qt::Key_H) << 0 << 0.0 << "0 2 5 7 9" << "";
        QTest::newRow("V down a column") << "0,3=100;3,3=0" << QRect(3, 0, 1, 4) << int(Qt::Key_V) << 0 << 0.0 << "100|67|33|0" << "";
        QTest::newRow("S: inner cells only") << "1,1=50" << QRect(0, 0, 3, 3) << int(Qt::Key_S) << 0 << 0.0 << "0 1 2|1 14 3|2 3 4" << "";
        QTest::newRow("* by 150 %") << "" << QRect(14, 0, 2, 1) << int(Qt::Key_Asterisk) << 0 << 150.0 << "21 23" << "";
        QTest::newRow("+ adds 1") << "" << QRect(0, 0, 2, 1) << int(Qt::Key_Plus) << 0 << 0.0 << "1 2" << "";
        QTest::newRow("Shift - takes 5, held at 0") << "" << QRect(0, 0, 2, 1) << int(Qt::Key_Minus) << int(Qt::ShiftModifier)
                                                  << 0.0 << "0 0" << "2 cells were clamped to 0 to 100 %";
        QTest::newRow("= sets") << "" << QRect(5, 5, 2, 2) << int(Qt::Key_Equal) << 0 << 55.0 << "55 55|55 55" << "";
        QTest::newRow("H needs two columns") << "" << QRect(0, 0, 1, 4) << int(Qt::Key_H) << 0 << 0.0 << "0|1|2|3"
                                             << "Interpolating across needs a rectangle at least 2 cells wide";
        QTest::newRow("S needs 3 x 3") << "" << QRect(0, 0, 2, 5) << int(Qt::Key_S) << 0 << 0.0 << "0 1|1 2|2 3|3 4|4 5"
                                       << "Smoothing needs a rectangle of at least 3 x 3 cells; its edges are kept";
    }
    void operations_on_the_selection()
    {
        QFETCH(QString, setup);
        QFETCH(QRect, selected);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(double, amount);
        QFETCH(QString, result);
        QFETCH(QString, tip);
        for (const QString& pair : setup.split(';', Qt::SkipEmptyParts))
            t->item(pair.section(',', 0, 0).toInt(), pair.section(',', 1).section('=', 0, 0).toInt())->setText(pair.section('=', 1));
        updates->clear();
        QStringList tips;
        status_tips catcher(tips);
        t->installEventFilter(&catcher);
        t->amount_asker = [amount](const QString&, const QString&, double, double, double, double* out) {
            *out = amount;
            return true;
        };
        select(selected.top(), selected.left(), selected.bottom(), selected.right());
        QTest::keyClick(t.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(block(selected.top(), selected.left(), selected.bottom(), selected.right()), result);
        QCOMPARE(tips.join('|'), tip);
        QCOMPARE(updates->count(), tip.startsWith("Interpolating") || tip.startsWith("Smoothing") ? 0 : 1);
    }

    void a_bilinear_fill_follows_the_formula()
    {
        const int corners[4] = {10, 40, 20, 70}; // top left, top right, bottom left, bottom right
        t->item(0, 0)->setText("10");
        t->item(0, 15)->setText("40");
        t->item(15, 0)->setText("20");
        t->item(15, 15)->setText("70");
        t->selectAll();
        QVERIFY(t->run_op(table_op::interpolate_both));
        for (int r = 0; r < 16; ++r)
            for (int c = 0; c < 16; ++c) {
                const double top = corners[0] + (corners[1] - corners[0]) * c / 15.0;
                const double bottom = corners[2] + (corners[3] - corners[2]) * c / 15.0;
                QCOMPARE(t->item(r, c)->text().toInt(), int(std::round(top + (bottom - top) * r / 15.0)));
            }
        QCOMPARE(t->last_change, QStringLiteral("Interpolate both in"));
    }

    void cell_editor()
    {
        QWidget parent;
        duty_table_delegate delegate;
        auto* editor = qobject_cast<duty_table_editor*>(delegate.createEditor(&parent, {}, t->model()->index(2, 3)));
        delegate.setEditorData(editor, t->model()->index(2, 3));
        QCOMPARE(editor->text(), QString("5"));
        editor->setText("101");
        QVERIFY(!editor->hasAcceptableInput());
    }
};

QTEST_MAIN(tst_duty_edit)
#include "tst_duty_edit.moc"
