#include "tables/grid_trail.h"

#include <QEvent>
#include <QPainter>

grid_trail::grid_trail(QWidget* viewport) : QWidget(viewport)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(viewport->rect());
    viewport->installEventFilter(this);
    hide();
}

void grid_trail::set_points(const QVector<QPointF>& points, int column_count, int row_count)
{
    if (points == cells && isVisible() == !points.isEmpty())
        return;
    // Only where the old and the new line lie: the cells under them are painted again, not the grid.
    const QRect before = drawn();
    cells = points;
    columns = qMax(1, column_count);
    rows = qMax(1, row_count);
    setVisible(!cells.isEmpty());
    raise();
    update(before.united(drawn()));
}

QRect grid_trail::drawn() const
{
    const QVector<QPointF> at = pixels();
    if (at.isEmpty())
        return QRect();
    QRectF box(at.first(), at.first());
    for (const QPointF& p : at)
        box = box.united(QRectF(p, p));
    return box.toAlignedRect().adjusted(-7, -7, 7, 7);
}

QVector<QPointF> grid_trail::pixels() const
{
    const double w = double(width()) / columns;
    const double h = double(height()) / rows;
    QVector<QPointF> out;
    out.reserve(cells.size());
    for (const QPointF& c : cells)
        out << QPointF((c.x() + 0.5) * w, height() - (c.y() + 0.5) * h);
    return out;
}

void grid_trail::paintEvent(QPaintEvent*)
{
    const QVector<QPointF> at = pixels();
    if (at.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(20, 40, 160);
    for (int i = 1; i < at.size(); ++i) {
        QColor c = ink;
        c.setAlphaF(0.15 + 0.85 * i / at.size());
        painter.setPen(QPen(c, 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(at[i - 1], at[i]);
    }
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(ink);
    painter.drawEllipse(at.last(), 4.5, 4.5);
}

bool grid_trail::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(static_cast<QWidget*>(watched)->rect());
    return QWidget::eventFilter(watched, event);
}
