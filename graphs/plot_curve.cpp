#include "graphs/plot_curve.h"

#include <QPen>

plot_curve::plot_curve(const QString& name, const QColor& colour)
    : QwtPlotCurve(name)
{
    setRenderHint(QwtPlotItem::RenderAntialiased, true);
    setLegendAttribute(QwtPlotCurve::LegendShowLine, true);
    setPen(colour, 0, Qt::SolidLine);
}
