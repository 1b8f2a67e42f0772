#include "graphs/percent_scale_draw.h"

#include <QtGlobal>
#include <qwt/qwt_text.h>

percent_scale_draw::percent_scale_draw(double full_scale)
    : full_scale(full_scale)
{
}

QwtText percent_scale_draw::label(double value) const
{
    const double percent = 100.0 * value / full_scale;
    // The axis headroom above full scale still reads 100; below zero there is nothing to read.
    unsigned shown = 0;
    if (percent >= 100.0)
        shown = 100;
    else if (percent > 0.0)
        shown = unsigned(percent);
    return QwtText(QString::number(shown));
}
