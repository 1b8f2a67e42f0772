#pragma once
// One column of the log store against its time stamps, as a series the chart can plot.
//
// The worker appends a sample's time stamp before its values, and may clear the store while the
// chart paints. The series therefore counts only samples whose time stamp and value are both
// stored; a position beyond them answers with the newest complete sample, and one that a clear
// took away meanwhile with the empty point, never with a read past a vector's end.

#include "live/tsafe_qvector.h"

#include <QPointF>
#include <QRectF>
#include <climits>
#include <qwt/qwt_series_data.h>

template <class T>
class time_data : public QwtSeriesData<QPointF> {
public:
    typedef double (*conversion)(double);

    time_data(const tsafe_qvector<qint64>* timestamps, const tsafe_qvector<T>* values, T y_min, T y_max,
              conversion conv = nullptr)
        : timestamps(timestamps), values(values), y_min(y_min), y_max(y_max), conv(conv)
    {
    }

    size_t size() const override { return size_t(complete()); }

    QPointF sample(size_t i) const override
    {
        int n = int(qMin<size_t>(i, size_t(INT_MAX)));
        const int held = complete();
        if (n >= held) {
            if (held == 0)
                return QPointF();
            n = held - 1;
        }
        qint64 t = 0;
        T raw = T();
        if (!timestamps->read(n, t) || !values->read(n, raw))
            return QPointF();
        return QPointF(double(t), y_of(raw));
    }

    // First to last time stamp across, the value range up; an invalid rectangle while empty, which
    // the plot's autoscaling ignores.
    QRectF boundingRect() const override
    {
        const int held = complete();
        if (held == 0) {
            d_boundingRect = QRectF(0.0, 0.0, -1.0, -1.0);
        } else {
            const double first = double(timestamps->value(0));
            const double last = double(timestamps->value(held - 1));
            d_boundingRect = QRectF(first, double(y_min), last - first, double(y_max) - double(y_min));
        }
        return d_boundingRect;
    }

private:
    int complete() const { return qMin(timestamps->size(), values->size()); }
    double y_of(T raw) const { return conv ? conv(double(raw)) : double(raw); }

    const tsafe_qvector<qint64>* timestamps;
    const tsafe_qvector<T>* values;
    T y_min;
    T y_max;
    conversion conv;
};
