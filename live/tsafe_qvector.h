#pragma once
// A vector shared between the worker, which appends and clears, and the chart, which reads while
// the worker writes. Every operation holds the lock for itself alone; no reference into the storage
// escapes, so a reader can never hold on to an element that a clear has freed.

#include "live/chunked_vector.h"

#include <QReadWriteLock>

template <class T>
class tsafe_qvector {
public:
    tsafe_qvector() = default;
    tsafe_qvector(const tsafe_qvector&) = delete;
    tsafe_qvector& operator=(const tsafe_qvector&) = delete;

    int size() const
    {
        QReadLocker locker(&lock);
        return data.size();
    }

    // Element i, or fallback when the vector does not hold i (yet, or any more).
    T value(int i, const T& fallback = T()) const
    {
        QReadLocker locker(&lock);
        return i >= 0 && i < data.size() ? data[i] : fallback;
    }

    T at(int i) const { return value(i); }

    // Copies element i into out; false, out untouched, when the vector does not hold i.
    bool read(int i, T& out) const
    {
        QReadLocker locker(&lock);
        if (i < 0 || i >= data.size())
            return false;
        out = data[i];
        return true;
    }

    // Copies up to n elements from first on into out under one lock; the number copied.
    int copy(int first, int n, T* out) const
    {
        QReadLocker locker(&lock);
        if (first < 0 || first >= data.size() || n <= 0)
            return 0;
        n = qMin(n, data.size() - first);
        data.copy(first, n, out);
        return n;
    }

    T last(const T& fallback = T()) const
    {
        QReadLocker locker(&lock);
        return data.is_empty() ? fallback : data[data.size() - 1];
    }

    void append(const T& v)
    {
        QWriteLocker locker(&lock);
        data.append(v);
    }

    // Appends value_at(0) to value_at(n - 1) under a single lock; value_at must not touch this vector.
    template <class F>
    void append_each(int n, F&& value_at)
    {
        QWriteLocker locker(&lock);
        data.append_each(n, value_at);
    }

    // False, and nothing changed, when i is out of range.
    bool replace(int i, const T& v)
    {
        QWriteLocker locker(&lock);
        if (i < 0 || i >= data.size())
            return false;
        data[i] = v;
        return true;
    }

    bool replace_last(const T& v)
    {
        QWriteLocker locker(&lock);
        if (data.is_empty())
            return false;
        data[data.size() - 1] = v;
        return true;
    }

    void clear()
    {
        chunked_vector<T> emptied;
        {
            QWriteLocker locker(&lock);
            data.swap(emptied);
        }
        // The old storage is freed here, after readers may run again.
    }

private:
    mutable QReadWriteLock lock;
    chunked_vector<T> data;
};
