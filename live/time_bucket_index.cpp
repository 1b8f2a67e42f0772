#include "live/time_bucket_index.h"

void time_bucket_index::insert(qint64 t)
{
    const int position = links.size();
    auto head = heads.find(key_of(t));
    if (head == heads.end()) {
        links.append(-1);
        heads.insert(key_of(t), position);
    } else {
        links.append(*head);
        *head = position;
    }
}

void time_bucket_index::clear()
{
    heads = QHash<qint64, int>();
    chunked_vector<int> emptied;
    links.swap(emptied);
}
