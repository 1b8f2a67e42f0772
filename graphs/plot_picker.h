#pragma once
// Picks a time on the chart; only the cross-hair shows while picking, never a tracker text.

#include <qwt/qwt_plot_picker.h>

class plot_picker : public QwtPlotPicker {
    Q_OBJECT
public:
    explicit plot_picker(QWidget* canvas);

protected:
    QwtText trackerTextF(const QPointF& pos) const override;
};
