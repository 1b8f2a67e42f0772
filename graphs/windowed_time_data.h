#pragma once
// A column of the log store that hands the plot only the samples inside its visible time range,
// so that a replot costs the same after four hours of logging as after one minute.

#include "graphs/stamp_order.h"
#include "live/time_data.h"

#include <QSharedPointer>

class windowed_time_data : public time_data<unsigned int> {
public:
    windowed_time_data(const tsafe_qvector<qint64>* timestamps, const tsafe_qvector<unsigned int>* values,
                       unsigned int y_min, unsigned int y_max, conversion conv,
                       QSharedPointer<stamp_order> order);

    size_t size() const override;
    QPointF sample(size_t i) const override;
    void setRectOfInterest(const QRectF& rect) override;

    int window_first() const { return first; }

private:
    int held() const;

    const tsafe_qvector<qint64>* timestamps;
    const tsafe_qvector<unsigned int>* values;
    QSharedPointer<stamp_order> order;
    bool windowed = false;
    int first = 0;
    int end = 0;
};
