#include "device/log_line_reader.h"

#include <cstring>

namespace {

bool is_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

std::string_view log_line_reader::trimmed(const char* first, const char* last)
{
    if (const void* zero = std::memchr(first, '\0', size_t(last - first)))
        last = static_cast<const char*>(zero);
    while (first < last && is_space(*first))
        ++first;
    while (last > first && is_space(last[-1]))
        --last;
    return std::string_view(first, size_t(last - first));
}

log_line_reader::log_line_reader(QIODevice& source, size_t block_size) : source(source), buffer(block_size)
{
}

bool log_line_reader::next(std::string_view& line)
{
    for (;;) {
        const char* first = buffer.data() + begin;
        if (const void* nl = std::memchr(first, '\n', end - begin)) {
            const char* stop = static_cast<const char*>(nl);
            begin = size_t(stop - buffer.data()) + 1;
            line = trimmed(first, stop);
            terminated = true;
            return true;
        }
        if (!refill()) {
            if (begin == end)
                return false;
            line = trimmed(buffer.data() + begin, buffer.data() + end);
            begin = end;
            terminated = false;
            return true;
        }
    }
}

bool log_line_reader::next_lines(std::string_view& text)
{
    for (;;) {
        const char* first = buffer.data() + begin;
        if (const void* nl = memrchr(first, '\n', end - begin)) {
            const size_t stop = size_t(static_cast<const char*>(nl) - buffer.data()) + 1;
            text = std::string_view(first, stop - begin);
            begin = stop;
            terminated = true;
            return true;
        }
        if (!refill()) {
            if (begin == end)
                return false;
            text = std::string_view(buffer.data() + begin, end - begin);
            begin = end;
            terminated = false;
            return true;
        }
    }
}

// Keeps the unfinished line and reads behind it; false when nothing more came.
bool log_line_reader::refill()
{
    if (exhausted)
        return false;
    std::memmove(buffer.data(), buffer.data() + begin, end - begin);
    end -= begin;
    begin = 0;
    if (end == buffer.size())
        buffer.resize(buffer.size() * 2); // a line longer than a block
    const qint64 got = source.read(buffer.data() + end, qint64(buffer.size() - end));
    if (got <= 0) {
        exhausted = true;
        return false;
    }
    end += size_t(got);
    return true;
}
