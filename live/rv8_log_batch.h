#pragma once
// Samples read from a file, gathered so that the store locks each column once per batch and not
// once per sample, together with the file mark of each.

#include "live/rv8_log.h"

#include <vector>

class rv8_log_batch {
public:
    static const int default_rows = 4096;

    rv8_log_batch(rv8_log& log, tsafe_qvector<unsigned int>& marks, int rows = default_rows);
    ~rv8_log_batch() { flush(); }
    rv8_log_batch(const rv8_log_batch&) = delete;
    rv8_log_batch& operator=(const rv8_log_batch&) = delete;

    // Marked 1, or, after a gap in the recording, 0 together with the sample before it.
    void add(const rv8_frame& frame, bool after_gap);
    // Stores what was gathered: the marks first, then the samples.
    void flush();

private:
    rv8_log& log;
    tsafe_qvector<unsigned int>& marks;
    const size_t rows;
    std::vector<rv8_frame> frames;
    std::vector<unsigned int> frame_marks;
};
