#pragma once
// Positions of samples by 32 ms bucket of their time stamp. A hash holds each bucket's newest
// position and every sample links to the previous one of its bucket, which costs far less memory
// per sample than a multi-valued hash while giving the same newest-first order.

#include "live/chunked_vector.h"

#include <QHash>

class time_bucket_index {
public:
    // Buckets round toward minus infinity, also for times before the epoch.
    static qint64 key_of(qint64 t) { return t >> 5; }

    // Files the next position (0, 1, 2, ... in order of insertion) under the bucket of t.
    void insert(qint64 t);
    // Newest position in the bucket of t, or -1.
    int newest(qint64 t) const { return heads.value(key_of(t), -1); }
    // The position filed before p in the same bucket, or -1.
    int previous(int p) const { return p >= 0 && p < links.size() ? links[p] : -1; }
    void clear();

private:
    QHash<qint64, int> heads;
    chunked_vector<int> links;
};
