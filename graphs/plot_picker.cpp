#include "graphs/plot_picker.h"

#include <qwt/qwt_picker_machine.h>
#include <qwt/qwt_plot.h>
#include <qwt/qwt_text.h>

plot_picker::plot_picker(QWidget* canvas)
    : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::CrossRubberBand,
                    QwtPicker::ActiveOnly, canvas)
{
    setStateMachine(new QwtPickerDragPointMachine);
    setRubberBandPen(QColor(Qt::black));
}

QwtText plot_picker::trackerTextF(const QPointF&) const
{
    return QwtText();
}
