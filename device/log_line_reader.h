#pragma once

#include <QIODevice>

#include <string_view>
#include <vector>

// The lines of a live-log file, read in large blocks so that a file of millions of rows is never
// held whole in memory. Each line comes trimmed of surrounding white space and cut at a zero byte;
// it stays valid until the next call.
class log_line_reader {
public:
    explicit log_line_reader(QIODevice& source, size_t block_size = 1 << 20);

    // False at the end of the source.
    bool next(std::string_view& line);
    // The next run of whole lines, as they stand, each with its '\n' but perhaps the source's last;
    // valid until the next call. False at the end of the source.
    bool next_lines(std::string_view& text);
    // Whether the last line or run handed out ended with '\n': a file cut while being written does not.
    bool ended_with_newline() const { return terminated; }
    // A line as next() hands it out: cut at a zero byte, white space around it removed.
    static std::string_view trimmed(const char* first, const char* last);

private:
    bool refill();

    QIODevice& source;
    std::vector<char> buffer;
    size_t begin = 0;
    size_t end = 0;
    bool exhausted = false;
    bool terminated = true;
};
