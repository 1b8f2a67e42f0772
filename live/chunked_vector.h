#pragma once
// A growing array kept in fixed-size chunks: appending never copies what is stored and never leaves
// more than one chunk unused, where a doubling vector may leave half its memory idle.

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

    void swap(chunked_vector& other)
    {
        chunks.swap(other.chunks);
        std::swap(count, other.count);
    }

private:
    std::vector<std::unique_ptr<T[]>> chunks;
    int count = 0;
};
