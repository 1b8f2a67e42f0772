#pragma once
// Labels a raw-count axis in whole percent of its full scale.

#include <qwt/qwt_scale_draw.h>

class percent_scale_draw : public QwtScaleDraw {
public:
    explicit percent_scale_draw(double full_scale);

    QwtText label(double value) const override;

private:
    double full_scale;
};
