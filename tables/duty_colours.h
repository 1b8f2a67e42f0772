#pragma once
// The colour scale shared by the duty grids, the live duty read-outs and the surface bands.

#include <QColor>
#include <QtGlobal>

struct duty_colour_pair {
    QColor text;
    QColor background;
};

duty_colour_pair duty_colours(quint8 duty);
