#pragma once
// A translucent band filled between its series and zero.

#include <QColor>
#include <qwt/qwt_plot_curve.h>

class plot_shade : public QwtPlotCurve {
public:
    static constexpr int alpha = 20;

    plot_shade(const QString& name, const QColor& colour);
};
