// The duty grid: axes, the cell codec, the live cross-hair, colours, clipboard editing, table
// operations and cell scripts.

#include "model/conv.h"
#include "tables/duty_colours.h"
#include "tables/duty_table.h"
#include "tables/scripts_dialog.h"
#include "tables/duty_table_delegate.h"
#include "tables/duty_table_editor.h"
#include "tests/support/log_capture.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QtTest>

#include <cmath>

namespace {
// Notes the status tips a widget sends towards the window's status bar.
struct status_tips : QObject {
    QStringList tips;
    explicit status_tips(std::initializer_list<QObject*> from)
    {
        for (QObject* o : from)
            o->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::StatusTip)
            tips << static_cast<QStatusTipEvent*>(event)->tip();
        return false;
    }
};

QString join16(const std::function<QVariant(int)>& at)
{
    QStringList out;
    for (int i = 0; i < 16; ++i)
        out << at(i).toString();
    return out.join(' ');
}
QString cols(int max_rpm) { return join16([=](int i) { return duty_table::calc_horz_axis(max_rpm, i); }); }
QString headers(duty_table& t, Qt::Orientation o) { return join16([&](int i) { return t.model()->headerData(i, o); }); }
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

class tst_duty_table : public QObject {
    Q_OBJECT
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
    // Cells separated by spaces, rows by '|'.
    QString block(int top, int left, int bottom, int right) const
    {
        QString out;
        for (int r = top; r <= bottom; ++r)
            for (int c = left; c <= right; ++c)
                out += t->item(r, c)->text() + (c < right ? " " : r < bottom ? "|" : "");
        return out;
    }
    QVector<double> sent(int i) const { return updates->at(i).at(0).value<QVector<double>>(); }
    converter conv;
    qint64 now = 1000;

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
    // The viewport is 640 x 320, so columns are 40 and rows 20 pixels apart.
    void show_for_cross()
    {
        t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        t->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.get()));
        t->resize(QSize(640, 320) + t->size() - t->viewport()->size());
        QCoreApplication::processEvents();
        t->set_horz_axis(8000);
        t->set_vert_axis_linear(0, 30);
        now = 1000;
        t->set_clock([this] { return now; });
    }
    QPoint move(quint16 rpm, double load, qint64 step = 101)
    {
        now += step;
        t->set_highlight(rpm, load);
        return QPoint(t->vert_line_geometry().x(), t->horz_line_geometry().y());
    }

private slots:
    // Every cell starts as row + column.
    void init()
    {
        t.reset(new duty_table(16, 16));
        t->setSelectionMode(QAbstractItemView::ContiguousSelection);
        updates.reset(new QSignalSpy(t.get(), &duty_table::many_cells_updated));
        t->conv = &conv;
        for (int i = 0; i < 256; ++i)
            t->item(i / 16, i % 16)->setText(QString::number(i / 16 + i % 16));
        updates->clear();
    }

    // Column breakpoints for every maximum the unit takes; every whole boost range ends at max and keeps
    // rows 1..15 evenly spaced after its offset. What is refused leaves the headers as they were.
    void axes_and_headers()
    {
        log_capture log;
        for (int max_rpm = 1000; max_rpm <= 20000; max_rpm += 500)
            QCOMPARE(duty_table::calc_horz_axis(max_rpm, 15), max_rpm);
        const int maxima[] = {1000, 4000, 10000, 11000, 17500, 18000, 20000};
        QCOMPARE(join16([&](int i) { return i < 7 ? duty_table::calc_horz_axis(maxima[i], 1) : 0; }),
                 QString("300 500 200 500 2100 500 2500 0 0 0 0 0 0 0 0 0"));
        QCOMPARE(cols(8000), QString("0 1000 1500 2000 2500 3000 3500 4000 4500 5000 5500 6000 6500 7000 7500 8000"));
        // A multiple of 500 outside the list starts at 0.
        QCOMPARE(cols(500), QString("0 0 35 70 105 140 175 210 245 280 315 350 385 420 455 490"));
        for (int diff = 5; diff <= 100; ++diff) {
            const double min = diff % 2 ? -10.0 : 0.0, max = min + diff;
            const double offset = duty_table::calc_vert_axis(max, min, 1) - min, spacing = (diff - offset) / 14;
            QVERIFY(duty_table::calc_vert_axis(max, min, 0) == min && offset > 0 && offset < 15);
            for (int i = 2; i <= 15; ++i)
                QVERIFY(qAbs(duty_table::calc_vert_axis(max, min, i) - (min + offset + (i - 1) * spacing)) < 1e-9);
        }
        QStringList offsets;
        for (int d : {5, 6, 7, 8, 9, 10, 11, 34, 35, 36, 38, 39, 40, 41, 42, 87, 88, 89, 90, 91, 92, 93, 98, 99, 100})
            offsets << QString::number(duty_table::calc_vert_axis(d, 0, 1));
        QCOMPARE(offsets.join(' '), QString("1.5 2.5 3.5 1 2 3 0.5 2.5 3.5 1 3 4 5 6 7 3 4 5 6 7 8 9 14 1 2"));
        QCOMPARE(duty_table::calc_vert_axis(19.5, 0, 1), 2.5); // the range is rounded first
        QCOMPARE(duty_table::calc_vert_axis(14.5, 10, 15), 14.5);
        t->set_vert_axis_linear(-1, 2);
        QCOMPARE(headers(*t, Qt::Vertical).left(35), QString("2.00 1.80 1.60 1.40 1.20 1.00 0.80 "));
        QCOMPARE(t->vert_header_at(14), -0.8);
        QVERIFY(log.entries().isEmpty());
        QCOMPARE(cols(8250), QString("0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"));
        t->set_horz_axis(8000);
        t->set_horz_axis(8250);
        QCOMPARE(headers(*t, Qt::Horizontal), cols(8000));
        // A range too small for boost rows gives rows of 0; one too large evenly spaced rows from 0.
        t->set_vert_axis_boost(0, 4.4);
        QCOMPARE(headers(*t, Qt::Vertical), QString("0.00 ").repeated(16).trimmed());
        QCOMPARE(duty_table::calc_vert_axis(120, 0, 1), 0.0);
        QCOMPARE(duty_table::calc_vert_axis(120, 0, 8), 7 * 120 / 14.0);
        QCOMPARE(log.texts().join('|'), QString("max_rpm must be % by 500 8250|").repeated(16)
                                            + QString("boost_diff < 5.  4 0 4.4|").repeated(16)
                                            + "Unhandled boost_diff 120|Unhandled boost_diff 120");
        QCOMPARE(log.texts(QtCriticalMsg).size(), 32);
    }

    // Ten bits a cell, as percent.
    void codec_words_and_percent()
    {
        QSignalSpy single(t.get(), &QTableWidget::cellChanged);
        QByteArray bytes(512, 0);
        bytes.replace(0, 10, QByteArray::fromHex("fc0003fffe00000a0014"));
        bytes[32] = char(3);     // row 14, column 0: 768 / 1023 -> 75 %
        bytes[510] = char(0xFC); // row 0, column 15: only the upper six bits set
        bytes[511] = char(0xCC); // 204 / 1023 -> 20 %
        t->from_byteArray(bytes);
        QCOMPARE(block(15, 0, 15, 4), QString("0 100 50 1 2"));
        QCOMPARE(t->item(0, 15)->text(), QString("20"));
        QVERIFY(single.count() == 0 && updates->count() == 1 && !t->signalsBlocked());
        QCOMPARE(sent(0).mid(0, 5), (QVector<double>{0, 100, 50, 1, 2}));
        QCOMPARE(sent(0).at(16) + sent(0).at(255), 95.0);
        // Every whole percent comes back as it went.
        for (int p = 0; p <= 100; ++p)
            t->item(p / 16, p % 16)->setText(QString::number(p));
        const QByteArray words = t->to_byteArray();
        t->set_all_cells("7");
        t->from_byteArray(words);
        for (int p = 0; p <= 100; ++p)
            QCOMPARE(t->item(p / 16, p % 16)->text(), QString::number(p));
        // Data of another size changes no cell and announces nothing.
        log_capture log;
        updates->clear();
        t->from_byteArray(QByteArray(511, char(0xFF)));
        t->from_byteArray(QByteArray(640, char(0xFF)));
        QCOMPARE(log.texts(QtCriticalMsg), (QStringList{"data isn't the same size as this table: 511  table: 512",
                                                        "data isn't the same size as this table: 640  table: 512"}));
        QCOMPARE(t->to_byteArray(), words);
        QVERIFY(updates->count() == 0 && !t->signalsBlocked());
        // Bottom row first, each row left to right, two bytes per cell, high byte first.
        fill("0");
        const char* const texts[] = {"0", "1", "25", "50", "100", "150", "300", "-1", "abc"};
        for (int c = 0; c < 9; ++c)
            t->item(15, c)->setText(texts[c]);
        delete t->takeItem(15, 9);
        t->item(14, 0)->setText("50");
        t->item(0, 15)->setText("100");
        bytes = t->to_byteArray();
        QCOMPARE(bytes.left(20).toHex(' '), QByteArray("00 00 00 0a 01 00 02 00 03 ff 03 ff 03 ff 00 00 00 00 00 00"));
        QCOMPARE(bytes.mid(32, 2).toHex(' '), QByteArray("02 00"));
        QCOMPARE(bytes.mid(510, 2).toHex(' '), QByteArray("03 ff"));
        QCOMPARE(bytes.count(char(0)), 512 - 12);
    }

    void lines_data()
    {
        QTest::addColumn<int>("rpm");
        QTest::addColumn<double>("load");
        QTest::addColumn<QPoint>("at");
        QTest::newRow("on headers") << 1000 << 30.0 << QPoint(60, 10);
        QTest::newRow("between headers") << 1250 << 3.0 << QPoint(80, 280);
        QTest::newRow("truncated, rounded half away") << 1010 << 2.25 << QPoint(60, 287); // 60.8, 287.5
        QTest::newRow("just past the last column, below the bottom centre") << 8010 << -0.5 << QPoint(620, 315);
        // Half a row below the bottom header and half a row above the top one are where the axis
        // changes scale; exactly on them either side's rule must give the same line.
        QTest::newRow("on the lower edge") << 1000 << -1.0 << QPoint(60, 330);
        QTest::newRow("on the bottom header") << 1000 << 0.0 << QPoint(60, 310);
        QTest::newRow("on a middle header") << 1000 << 16.0 << QPoint(60, 150);
        QTest::newRow("on the upper edge") << 1000 << 31.0 << QPoint(60, 0);
        QTest::newRow("past the last column, far below") << 9000 << -10.0 << QPoint(700, 420);
    }

    void lines()
    {
        QFETCH(int, rpm);
        QFETCH(double, load);
        QFETCH(QPoint, at);
        show_for_cross();
        move(quint16(rpm), load);
        QCOMPARE(t->vert_line_geometry(), QRect(at.x(), 0, 1, 320));
        QCOMPARE(t->horz_line_geometry(), QRect(0, at.y(), 640, 1));
    }

    // The lines move at most every 100 ms. Equal neighbouring breakpoints (columns 0, 0, 35, ... for 500;
    // equal rows for a range of 0) would divide by zero; the line stays on the lower centre instead.
    void moves_at_most_every_100_ms_and_on_flat_axes()
    {
        show_for_cross();
        QCOMPARE(move(1000, 0, 1), QPoint(60, 310));
        QCOMPARE(move(8000, 30, 50), QPoint(60, 310));
        QCOMPARE(move(8000, 30, 50), QPoint(60, 310));
        QCOMPARE(move(8000, 30, 1), QPoint(620, 10));
        t->set_horz_axis(500);
        t->set_vert_axis_linear(5, 5);
        QCOMPARE(move(0, 5), QPoint(20, 310));
        QCOMPARE(move(490, 7), QPoint(620, 10));
    }

    // Without a selection copy and delete do nothing; a disabled grid greys out and drops its selection,
    // enabled again it shows its bands. Past 100 is never acceptable, so the cell editor does not commit it.
    void copy_delete_editor_and_colours()
    {
        QWidget parent;
        duty_table_delegate delegate;
        auto* editor = qobject_cast<duty_table_editor*>(delegate.createEditor(&parent, {}, t->model()->index(2, 3)));
        delegate.setEditorData(editor, t->model()->index(2, 3));
        QCOMPARE(editor->text(), QString("5"));
        editor->setText("101");
        QVERIFY(!editor->hasAcceptableInput());
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
        // Both sides of every band edge of the duty scale, background then text.
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

    // Each operation on a known block: the cells it gives (rounded half away from zero, held within
    // 0 to 100) and what the status bar is told. Keys reach the grid as a user presses them.
    void operations_on_the_selection_data()
    {
        QTest::addColumn<QString>("setup"); // "row,col=value;..." over cells holding row + column
        QTest::addColumn<QRect>("selected"); // x: column, y: row
        QTest::addColumn<int>("key"); // with its modifiers
        QTest::addColumn<double>("amount"); // typed into the amount question
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("tip");
        QTest::newRow("H across a row") << "2,0=0;2,4=9" << QRect(0, 2, 5, 1) << int(Qt::Key_H) << 0.0 << "0 2 5 7 9" << "";
        QTest::newRow("V down a column") << "0,3=100;3,3=0" << QRect(3, 0, 1, 4) << int(Qt::Key_V) << 0.0 << "100|67|33|0" << "";
        QTest::newRow("S: inner cells only") << "1,1=50" << QRect(0, 0, 3, 3) << int(Qt::Key_S) << 0.0 << "0 1 2|1 14 3|2 3 4" << "";
        QTest::newRow("* by 150 %") << "" << QRect(14, 0, 2, 1) << int(Qt::Key_Asterisk) << 150.0 << "21 23" << "";
        QTest::newRow("+ adds 1") << "" << QRect(0, 0, 2, 1) << int(Qt::Key_Plus) << 0.0 << "1 2" << "";
        QTest::newRow("Shift - takes 5, held at 0") << "" << QRect(0, 0, 2, 1) << int(Qt::ShiftModifier | Qt::Key_Minus)
                                                  << 0.0 << "0 0" << "2 cells were clamped to 0 to 100 %";
        QTest::newRow("= sets") << "" << QRect(5, 5, 2, 2) << int(Qt::Key_Equal) << 55.0 << "55 55|55 55" << "";
        QTest::newRow("B both ways") << "0,0=10;0,3=40;3,0=20;3,3=70" << QRect(0, 0, 4, 4) << int(Qt::Key_B) << 0.0
                                     << "10 20 30 40|13 26 38 50|17 31 46 60|20 37 53 70" << "";
        QTest::newRow("H needs two columns") << "" << QRect(0, 0, 1, 4) << int(Qt::Key_H) << 0.0 << "0|1|2|3"
                                             << "Interpolating across needs a rectangle at least 2 cells wide";
        QTest::newRow("S needs 3 x 3") << "" << QRect(0, 0, 2, 5) << int(Qt::Key_S) << 0.0 << "0 1|1 2|2 3|3 4|4 5"
                                       << "Smoothing needs a rectangle of at least 3 x 3 cells; its edges are kept";
    }
    void operations_on_the_selection()
    {
        QFETCH(QString, setup);
        QFETCH(QRect, selected);
        QFETCH(int, key);
        QFETCH(double, amount);
        QFETCH(QString, tip);
        for (const QString& pair : setup.split(';', Qt::SkipEmptyParts))
            t->item(pair.section(',', 0, 0).toInt(), pair.section(',', 1).section('=', 0, 0).toInt())->setText(pair.section('=', 1));
        updates->clear();
        status_tips catcher({t.get()});
        t->amount_asker = [amount](const QString&, const QString&, double, double, double, double* out) {
            *out = amount;
            return true;
        };
        select(selected.top(), selected.left(), selected.bottom(), selected.right());
        QTest::keyClick(t.get(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QTEST(block(selected.top(), selected.left(), selected.bottom(), selected.right()), "result");
        QCOMPARE(catcher.tips.join('|'), tip);
        QCOMPARE(updates->count(), tip.startsWith("Interpolating") || tip.startsWith("Smoothing") ? 0 : 1);
    }

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
    void script_results_globals_and_failures()
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

        // A throw, a runaway loop (stopped after its time limit while the window keeps handling events) and a
        // syntax error each leave the cells done before, announce those, and say what went wrong.
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
        duty_table other(16, 16);
        status_tips catcher({t.get(), &other});
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
        QCOMPARE(catcher.tips, QVector<QString>(6, "A cell script is still running; wait for it to finish").toList());
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

QTEST_MAIN(tst_duty_table)
#include "tst_duty_table.moc"
