#include "graphs/windowed_time_data.h"

windowed_time_data::windowed_time_data(const tsafe_qvector<qint64>* timestamps,
                                       const tsafe_qvector<unsigned int>* values, unsigned int y_min,
                                       unsigned int y_max, conversion conv,
                                       QSharedPointer<stamp_order> order)
    : time_data<unsigned int>(timestamps, values, y_min, y_max, conv), timestamps(timestamps),
      values(values), order(order)
{
}

int windowed_time_data::held() const
{
    return qMin(timestamps->size(), values->size());
}

size_t windowed_time_data::size() const
{
    if (!windowed)
        return time_data<unsigned int>::size();
    return size_t(end - first);
}

QPointF windowed_time_data::sample(size_t i) const
{
    if (!windowed)
        return time_data<unsigned int>::sample(i);
    // The base answers positions that a clear has taken away meanwhile without reading past a
    // vector's end.
    return time_data<unsigned int>::sample(size_t(first) + i);
}

void windowed_time_data::setRectOfInterest(const QRectF& rect)
{
    time_data<unsigned int>::setRectOfInterest(rect);
    // Counted once here, not at every size() call, so the plot sees one consistent length for
    // the whole replot while the worker appends.
    const int n = held();
    order->window(n, rect.left(), rect.right(), first, end);
    windowed = true;
}
