// What is drawn over the duty colours: a shading of the cells with its tooltips, and the trail of
// the operating point.

#include "tables/duty_table.h"
#include "tables/grid_trail.h"

#include <QHelpEvent>
#include <QToolTip>

void duty_table::set_shading(const QVector<QColor>& colours, std::function<QString(int, int)> tip)
{
    shades = colours.size() == rowCount() * columnCount() ? colours : QVector<QColor>();
    shade_tips = std::move(tip);
    viewport()->update();
}

QColor duty_table::shade_at(int row, int column) const
{
    const int i = row * columnCount() + column;
    return i >= 0 && i < shades.size() ? shades[i] : QColor();
}

QString duty_table::shade_tip(int row, int column) const
{
    return shaded() && shade_tips ? shade_tips(row, column) : QString();
}

void duty_table::set_trail(const QVector<QPointF>& points)
{
    if (!trail)
        trail = new grid_trail(viewport());
    trail->set_points(points, columnCount(), rowCount());
}

bool duty_table::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && shaded()) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex cell = indexAt(help->pos());
        const QString text = cell.isValid() ? shade_tip(cell.row(), cell.column()) : QString();
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, viewport());
            return true;
        }
    }
    return QTableWidget::viewportEvent(event);
}
