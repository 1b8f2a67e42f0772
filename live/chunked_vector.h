#pragma once
// A growing array kept in fixed-size chunks: appending never copies what is stored and never leaves
// more than one chunk unused, where a doubling vector may leave half its memory idle.

#include <algorithm>
#include <memory>
#include <vector>

template <class T>
class chunked_vector {
public:
    static const int chunk_bits = 11;
    static const int chunk_size = 1 << chunk_bits;

    chunked_vector() = default;
    chunked_vector(const chunked_vector&) = delete;
    chunked_vector& operator=(const chunked_vector&) = delete;

    int size() const { return count; }
    bool is_empty() const { return count == 0; }

    // i must lie in [0, size()).
    const T& operator[](int i) const { return chunks[size_t(i >> chunk_bits)][i & (chunk_size - 1)]; }
    T& operator[](int i) { return chunks[size_t(i >> chunk_bits)][i & (chunk_size - 1)]; }

    void append(const T& v)
    {
        if (size_t(count >> chunk_bits) == chunks.size())
            chunks.emplace_back(new T[chunk_size]);
        (*this)[count] = v;
        ++count;
    }

    // Appends value_at(0) to value_at(n - 1), a chunk at a time.
    template <class F>
    void append_each(int n, F&& value_at)
    {
        int k = 0;
        while (k < n) {
            if (size_t(count >> chunk_bits) == chunks.size())
                chunks.emplace_back(new T[chunk_size]);
            T* out = chunks.back().get() + (count & (chunk_size - 1));
            const int filled = std::min(n - k, chunk_size - (count & (chunk_size - 1)));
            for (int j = 0; j < filled; ++j)
                out[j] = value_at(k + j);
            k += filled;
            count += filled;
        }
    }

    // Copies elements [first, first + n) into out; both must lie within the array.
    void copy(int first, int n, T* out) const
    {
        while (n > 0) {
            const int in_chunk = std::min(n, chunk_size - (first & (chunk_size - 1)));
            const T* from = &(*this)[first];
            std::copy(from, from + in_chunk, out);
            out += in_chunk;
            first += in_chunk;
            n -= in_chunk;
        }
    }

    void swap(chunked_vector& other)
    {
        chunks.swap(other.chunks);
        std::swap(count, other.count);
    }

private:
    std::vector<std::unique_ptr<T[]>> chunks;
    int count = 0;
};
