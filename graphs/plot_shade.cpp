#include "graphs/plot_shade.h"

#include <QBrush>
#include <QPen>

plot_shade::plot_shade(const QString& name, const QColor& colour)
    : QwtPlotCurve(name)
{
    setRenderHint(QwtPlotItem::RenderAntialiased, true);
    // A band has no line to show, so its legend entry shows the fill instead.
    setLegendAttribute(QwtPlotCurve::LegendShowLine, true);
    setLegendAttribute(QwtPlotCurve::LegendShowBrush, true);
    setPen(QPen(Qt::NoPen));
    QColor fill(colour);
    fill.setAlpha(alpha);
    setBrush(QBrush(fill, Qt::SolidPattern));
}
