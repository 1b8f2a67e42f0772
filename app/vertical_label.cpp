#include "app/vertical_label.h"

#include <QPainter>

VerticalLabel::VerticalLabel(QWidget* parent)
    : QLabel(parent)
{
}

VerticalLabel::VerticalLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

QSize VerticalLabel::sizeHint() const
{
    const QSize s = QLabel::sizeHint();
    return QSize(s.height() + 5, s.width());
}

QSize VerticalLabel::minimumSizeHint() const
{
    const QSize s = QLabel::minimumSizeHint();
    return QSize(s.height() + 5, s.width());
}

void VerticalLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.translate(sizeHint().width() - 5, sizeHint().height());
    painter.rotate(270);
    painter.drawText(0, 0, text());
}
