#include "live/operating_trail.h"

void operating_trail::set_seconds(double seconds)
{
    span_s = qMax(0.0, seconds);
    if (span_s <= 0)
        kept.clear();
    else if (!kept.empty())
        prune(kept.back().t);
}

void operating_trail::add(qint64 t, const QPointF& position)
{
    if (span_s <= 0)
        return;
    kept.push_back({t, position});
    prune(t);
}

void operating_trail::prune(qint64 newest)
{
    const double oldest = double(newest) - span_s * 1000.0;
    // A stamp from after the newest one means the clock went back: that point is no guide either.
    while (!kept.empty() && (double(kept.front().t) < oldest || kept.front().t > newest))
        kept.pop_front();
}

QVector<QPointF> operating_trail::points() const
{
    QVector<QPointF> out;
    out.reserve(int(kept.size()));
    for (const point& p : kept)
        out << p.at;
    return out;
}
