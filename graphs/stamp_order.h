#pragma once
// Remembers whether a store's time stamps never go backwards, learning only the samples added
// since it last looked, so that the chart may binary-search them however long the session.

#include "live/tsafe_qvector.h"

#include <QtGlobal>

class stamp_order {
public:
    explicit stamp_order(const tsafe_qvector<qint64>* timestamps);

    // Whether the first n time stamps never decrease.
    bool increasing(int n);

    // Index range [first, end) of the first n samples that covers the times x1 ... x2, with one
    // sample either side so that lines run on to the edges.
    void window(int n, double x1, double x2, int& first, int& end);

private:
    bool still_same_store(int n) const;
    void restart();
    // First index in [0, n) whose stamp is above x (above_or_equal: not below x).
    int bound(int n, double x, bool or_equal) const;

    const tsafe_qvector<qint64>* timestamps;
    int checked = 0;
    bool in_order = true;
    qint64 first_seen = 0;
    qint64 last_seen = 0;
};
