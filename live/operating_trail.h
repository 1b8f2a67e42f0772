#pragma once
// The last seconds of a table's operating point, oldest first, for drawing where the engine has
// just been. Positions are in cells, as dwell_map::position gives them.

#include <QPointF>
#include <QVector>

#include <deque>

class operating_trail {
public:
    // 0 keeps nothing.
    void set_seconds(double seconds);
    double seconds() const { return span_s; }
    void add(qint64 t, const QPointF& position);
    QVector<QPointF> points() const;
    bool empty() const { return kept.empty(); }
    void clear() { kept.clear(); }

private:
    void prune(qint64 newest);

    struct point {
        qint64 t;
        QPointF at;
    };
    std::deque<point> kept;
    double span_s = 5;
};
