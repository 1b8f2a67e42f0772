#include "live/time_bucket_index.h"

namespace {

const size_t initial_slots = 1024;

size_t spread(qint64 key, size_t mask)
{
    return size_t((quint64(key) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

}  // namespace

time_bucket_index::time_bucket_index(const tsafe_qvector<qint64>& stamps) : stamps(stamps), heads(initial_slots, -1)
{
}

size_t time_bucket_index::slot_of(qint64 key) const
{
    const size_t mask = heads.size() - 1;
    size_t s = spread(key, mask);
    while (heads[s] >= 0 && key_of(stamps.value(heads[s])) != key)
        s = (s + 1) & mask;
    return s;
}

void time_bucket_index::insert(qint64 t)
{
    // Half full at most, so that a search ends after a probe or two.
    if (size_t(buckets + 1) * 2 > heads.size())
        grow();
    const size_t s = slot_of(key_of(t));
    if (heads[s] < 0)
        ++buckets;
    links.append(heads[s]);
    heads[s] = links.size() - 1;
}

int time_bucket_index::newest(qint64 t) const
{
    return heads[slot_of(key_of(t))];
}

void time_bucket_index::grow()
{
    std::vector<int> old(heads.size() * 2, -1);
    old.swap(heads);
    for (int position : old) {
        if (position >= 0)
            heads[slot_of(key_of(stamps.value(position)))] = position;
    }
}

void time_bucket_index::clear()
{
    std::vector<int>(initial_slots, -1).swap(heads);
    buckets = 0;
    chunked_vector<int> emptied;
    links.swap(emptied);
}
