#pragma once
// The records of the last seconds before a recording starts, so that it begins with what led up to
// its start. Kept by the records' own stamps: everything from the newest one's stamp less the span.

#include "live/rv8_frame.h"

#include <deque>
#include <vector>

class pre_trigger {
public:
    static constexpr double max_seconds = 60;

    // 0 to 60; 0 keeps nothing.
    void set_seconds(double seconds);
    double seconds() const { return span_s; }
    void add(const rv8_frame& frame);
    // What is kept, oldest first; the buffer is empty afterwards.
    std::vector<rv8_frame> take();
    void clear() { kept.clear(); }
    int size() const { return int(kept.size()); }

private:
    std::deque<rv8_frame> kept;
    double span_s = 0;
};
