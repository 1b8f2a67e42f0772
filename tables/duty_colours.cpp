#include "tables/duty_colours.h"

namespace {
struct band {
    int last_duty;
    Qt::GlobalColor text;
    QRgb background;
};

const band bands[] = {
    {0, Qt::black, qRgb(255, 255, 255)},
    {10, Qt::white, qRgb(127, 127, 255)},
    {21, Qt::white, qRgb(127, 191, 255)},
    {32, Qt::black, qRgb(127, 255, 255)},
    {43, Qt::black, qRgb(127, 255, 191)},
    {54, Qt::black, qRgb(127, 255, 127)},
    {65, Qt::black, qRgb(191, 255, 127)},
    {76, Qt::black, qRgb(255, 255, 127)},
    {87, Qt::black, qRgb(255, 191, 127)},
};
}

duty_colour_pair duty_colours(quint8 duty)
{
    for (const band& b : bands)
        if (duty <= b.last_duty)
            return {QColor(b.text), QColor(b.background)};
    return {QColor(Qt::black), QColor(255, 127, 127)};
}
