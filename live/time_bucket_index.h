#pragma once
// Positions of samples by 32 ms bucket of their time stamp, newest first within a bucket.
//
// A long session holds a million samples, so the index stores no keys: an open-addressing table
// holds each bucket's newest position (its key is read back from the time stamps), and every sample
// links to the previous one of its bucket. That costs 4 bytes per sample and 8 to 16 per bucket,
// where a multi-valued hash spends a node of some 50 bytes on every sample.

#include "live/chunked_vector.h"
#include "live/tsafe_qvector.h"

#include <vector>

class time_bucket_index {
public:
    // Buckets round toward minus infinity, also for times before the epoch.
    static qint64 key_of(qint64 t) { return t >> 5; }

    // stamps: the time stamp of every position filed here; it must outlive the index.
    explicit time_bucket_index(const tsafe_qvector<qint64>& stamps);

    // Files the next position (0, 1, 2, ... in order of insertion), whose time stamp is t.
    void insert(qint64 t);
    // Newest position in the bucket of t, or -1.
    int newest(qint64 t) const;
    // The position filed before p in the same bucket, or -1.
    int previous(int p) const { return p >= 0 && p < links.size() ? links[p] : -1; }
    void clear();

private:
    // The slot of heads holding key's bucket, or the empty slot where it belongs.
    size_t slot_of(qint64 key) const;
    void grow();

    const tsafe_qvector<qint64>& stamps;
    std::vector<int> heads;  // newest position of a bucket, or -1 when free
    int buckets = 0;
    chunked_vector<int> links;
};
