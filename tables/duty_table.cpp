#include "tables/duty_table.h"

#include "tables/duty_colours.h"
#include "tables/duty_table_delegate.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QtDebug>

#include <cmath>
#include <iterator>

namespace {
const char* const no_conv = "conv was not set prior to calling this method";

qint64 monotonic_ms()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

QFrame* make_line(QFrame::Shape shape, const QPalette& palette, QWidget* parent)
{
    QFrame* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Plain);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    line->setPalette(palette);
    line->hide();
    return line;
}
}

duty_table::duty_table(QWidget* parent)
    : QTableWidget(parent)
{
    build();
}

duty_table::duty_table(int rows, int columns, QWidget* parent)
    : QTableWidget(rows, columns, parent)
{
    build();
    set_all_cells(QStringLiteral("0"));
}

void duty_table::build()
{
    now_ms = monotonic_ms;
    next_cross_update = now_ms();

    QPalette red = palette();
    red.setColor(QPalette::All, QPalette::Text, Qt::red);
    // Plain frame lines are drawn in the foreground role, so that one turns red as well.
    red.setColor(QPalette::All, QPalette::WindowText, Qt::red);
    vert_frame = make_line(QFrame::VLine, red, viewport());
    horz_frame = make_line(QFrame::HLine, red, viewport());

    QFont header_font(QStringLiteral("Segoe UI"), 11, QFont::Bold);
    horizontalHeader()->setFont(header_font);
    verticalHeader()->setFont(header_font);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    const int width = QFontMetrics(header_font).horizontalAdvance(QStringLiteral("8000")) + 20;
    horizontalHeader()->setMinimumWidth(width);
    horizontalHeader()->setDefaultSectionSize(width);

    delegate = new duty_table_delegate(this);
    setItemDelegate(delegate);
    connect(this, &QTableWidget::cellChanged, this, &duty_table::on_cellChanged);
}

int duty_table::calc_horz_axis(int max_rpm, int index)
{
    if (max_rpm % 500 != 0) {
        qCritical() << "max_rpm must be % by 500" << max_rpm;
        return 0;
    }
    static const int start_speeds[] = {
        300, 100, 600, 1100, 200, 700, 500, 300, 800, 1300, 400, 900, 1400,
        500, 1000, 1500, 600, 1100, 200, 700, 500, 1000, 800, 1300, 400, 900,
        1400, 500, 1000, 1500, 600, 1100, 1600, 2100, 500, 1000, 1500, 2000, 2500,
    };
    const int slot = (max_rpm - 1000) / 500;
    const int start = (slot >= 0 && slot < int(std::size(start_speeds))) ? start_speeds[slot] : 0;
    if (index <= 0 || index > 15)
        return 0;
    if (index == 1)
        return start;
    return start + ((max_rpm - start) / 14) * (index - 1);
}

namespace {
bool in_sevens(int diff, int first, int last)
{
    return diff >= first && diff <= last && (diff - first) % 7 == 0;
}

// Keeps the rows from the second one on at a tidy spacing (quarters, halves or whole units).
double boost_offset(double rounded_diff)
{
    if (rounded_diff > 100) {
        qWarning() << "Unhandled boost_diff" << rounded_diff;
        return 0.0;
    }
    const int diff = int(rounded_diff);
    if (diff >= 92 && diff <= 98)
        return diff - 84;
    if (in_sevens(diff, 6, 34))
        return 2.5;
    if (in_sevens(diff, 5, 33))
        return 1.5;
    if (in_sevens(diff, 7, 35))
        return 3.5;
    if (in_sevens(diff, 8, 99))
        return 1.0;
    if (in_sevens(diff, 9, 100))
        return 2.0;
    if (in_sevens(diff, 10, 87))
        return 3.0;
    if (in_sevens(diff, 11, 32))
        return 0.5;
    if (in_sevens(diff, 39, 88))
        return 4.0;
    if (in_sevens(diff, 40, 89))
        return 5.0;
    if (in_sevens(diff, 41, 90))
        return 6.0;
    return 7.0; // 42 + 7k up to 91: the only integers left between 5 and 100
}
}

double duty_table::calc_vert_axis(double max, double min, int index)
{
    const double boost_diff = std::round(max - min);
    if (!(boost_diff >= 5)) {
        qCritical() << "boost_diff < 5. " << boost_diff << min << max;
        return 0.0;
    }
    const double offset = boost_offset(boost_diff);
    if (index > 15) {
        qCritical() << "Unhandled index" << index;
        return 0.0;
    }
    if (index <= 0)
        return min;
    const double base = min + offset;
    return base + (index - 1) * ((max - base) / 14);
}

void duty_table::size_columns(const QString& widest)
{
    const int width = QFontMetrics(font()).horizontalAdvance(widest) + 20;
    horizontalHeader()->setMinimumWidth(width);
    horizontalHeader()->setDefaultSectionSize(width);
}

void duty_table::set_horz_axis(int max_rpm)
{
    if (max_rpm % 500 != 0)
        return;
    for (int c = 0; c < columnCount(); ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem(QString::number(calc_horz_axis(max_rpm, c))));
    size_columns(QString::number(max_rpm));
    horizontalHeader()->show();
}

void duty_table::set_vert_axis_linear(double min, double max)
{
    const int last = rowCount() - 1;
    for (int r = 0; r <= last; ++r) {
        const double value = (last - r) * (max - min) / last + min;
        setVerticalHeaderItem(r, new QTableWidgetItem(QString::number(value, 'f', 2)));
    }
    verticalHeader()->show();
}

void duty_table::set_vert_axis_boost(double min, double max)
{
    const int last = rowCount() - 1;
    for (int i = 0; i <= last; ++i) {
        const double value = calc_vert_axis(max, min, i);
        setVerticalHeaderItem(last - i, new QTableWidgetItem(QString::number(value, 'f', 2)));
    }
    verticalHeader()->show();
}

void duty_table::set_vert_axis_values(const QVector<double>& values)
{
    for (int r = 0; r < rowCount() && r < values.size(); ++r) {
        auto* header = new QTableWidgetItem(QString::number(values[r], 'f', 2));
        // The text is rounded; the breakpoint keeps the value it was given.
        header->setData(exact_role, values[r]);
        setVerticalHeaderItem(r, header);
    }
    verticalHeader()->show();
}

int duty_table::horz_header_at(int column) const
{
    if (column < 0 || column >= columnCount()) {
        qCritical("%d >= %d", column, columnCount());
        return 0;
    }
    const QTableWidgetItem* header = horizontalHeaderItem(column);
    return header ? header->data(Qt::EditRole).toInt() : 0;
}

double duty_table::vert_header_at(int row) const
{
    if (row < 0 || row >= rowCount()) {
        qCritical("%d >= %d", row, rowCount());
        return 0;
    }
    const QTableWidgetItem* header = verticalHeaderItem(row);
    if (!header)
        return 0;
    const QVariant exact = header->data(exact_role);
    return exact.isValid() ? exact.toDouble() : header->data(Qt::EditRole).toDouble();
}

int duty_table::cell_int(int row, int column, bool* ok) const
{
    const QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        if (ok)
            *ok = false;
        return 0;
    }
    return cell->data(Qt::EditRole).toInt(ok);
}

QByteArray duty_table::to_byteArray() const
{
    if (!conv) {
        qCritical() << no_conv;
        return QByteArray();
    }
    QByteArray block;
    block.reserve(rowCount() * columnCount() * 2);
    for (int r = rowCount() - 1; r >= 0; --r) {
        for (int c = 0; c < columnCount(); ++c) {
            const int percent = qBound(0, cell_int(r, c), 100);
            const int raw = int(std::round(percent * 1023 / 100.0));
            block.append(char(raw >> 8));
            block.append(char(raw & 0xFF));
        }
    }
    return block;
}

void duty_table::from_byteArray(const QByteArray& data)
{
    if (hold_while_script_runs([this, data] { from_byteArray(data); }))
        return;
    const int expected = rowCount() * columnCount() * 2;
    if (data.size() != expected) {
        qCritical() << "data isn't the same size as this table:" << data.size() << " table:" << expected;
        return;
    }
    if (!conv) {
        qCritical() << no_conv;
        return;
    }
    {
        const QSignalBlocker blocker(this);
        int at = 0;
        for (int r = rowCount() - 1; r >= 0; --r) {
            for (int c = 0; c < columnCount(); ++c, at += 2) {
                const int raw = (quint8(data[at]) & 0x03) * 256 + quint8(data[at + 1]);
                set_cell(r, c, QString::number(int(std::round(raw * 100 / 1023.0))));
            }
        }
    }
    emit_all_cells();
}

void duty_table::set_cell(int row, int column, const QString& text)
{
    QTableWidgetItem* cell = new QTableWidgetItem(text);
    setItem(row, column, cell);
    update_cell_colour(cell);
}

QVector<double> duty_table::cell_values() const
{
    QVector<double> values;
    values.reserve(rowCount() * columnCount());
    for (int r = rowCount() - 1; r >= 0; --r)
        for (int c = 0; c < columnCount(); ++c)
            values.append(cell_int(r, c));
    return values;
}

void duty_table::emit_all_cells()
{
    emit many_cells_updated(cell_values(), columnCount(), rowCount());
}

void duty_table::set_all_cells(const QString& text)
{
    if (hold_while_script_runs([this, text] { set_all_cells(text); }))
        return;
    {
        const QSignalBlocker blocker(this);
        for (int r = 0; r < rowCount(); ++r)
            for (int c = 0; c < columnCount(); ++c)
                set_cell(r, c, text);
    }
    emit_all_cells();
}

void duty_table::update_cell_colour(QTableWidgetItem* cell)
{
    if (!cell)
        return;
    const QSignalBlocker blocker(this);
    const int percent = qBound(0, cell->data(Qt::EditRole).toInt(), 100);
    duty_colour_pair colours{QColor(Qt::lightGray), QColor(Qt::white)};
    if (isEnabled())
        colours = duty_colours(quint8(percent));
    cell->setForeground(colours.text);
    cell->setBackground(colours.background);
}

void duty_table::refresh_all_colours()
{
    const QSignalBlocker blocker(this);
    clearSelection();
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            update_cell_colour(item(r, c));
}

void duty_table::on_cellChanged(int row, int column)
{
    update_cell_colour(item(row, column));
}
