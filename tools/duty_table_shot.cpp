// Renders a coloured duty table with its headers and the live cross-hair into a PNG file.
// Usage: duty_table_shot <file.png>

#include "model/conv.h"
#include "tables/duty_table.h"

#include <QApplication>
#include <QHeaderView>
#include <QPixmap>
#include <QTextStream>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: duty_table_shot <file.png>\n";
        return 2;
    }
    converter conv;
    duty_table table(16, 16);
    table.conv = &conv;
    QFont bold = table.font();
    bold.setBold(true);
    table.setFont(bold);
    table.setGridStyle(Qt::DashLine);
    table.setSelectionMode(QAbstractItemView::ContiguousSelection);
    table.setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table.set_horz_axis(8000);
    table.set_vert_axis_boost(0, 30);

    // A plausible pump map: more duty with more speed and more boost.
    table.selectAll();
    table.apply_script("Math.round(Math.min(100, 8 + abs_col * 4 + (15 - abs_row) * 2.5));");
    table.clearSelection();

    // Columns and rows exactly fill the viewport, as in the window's size-to-contents layout.
    table.show();
    const int frame = 2 * table.frameWidth();
    table.resize(table.verticalHeader()->width() + table.horizontalHeader()->length() + frame,
                 table.horizontalHeader()->height() + table.verticalHeader()->length() + frame);
    app.processEvents();
    qint64 now = 0;
    table.set_clock([&now] { return now; });
    now = 1;
    table.set_highlight(4200, 13.0);
    table.set_highlight_visible(true);
    app.processEvents();

    return table.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
