#pragma once
// One line of the chart.

#include <QColor>
#include <qwt/qwt_plot_curve.h>

class plot_curve : public QwtPlotCurve {
public:
    plot_curve(const QString& name, const QColor& colour);
};
