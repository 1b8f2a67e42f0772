#pragma once
// The records of the last seconds before a recording starts, so that it begins with what led up to
// its start. Kept by the records' own stamps. A start decided on a record the worker has already
// passed (a condition checked in another thread) still gets the full span before that record: a
// few seconds more than the span are kept for it.

#include "live/rv8_frame.h"

#include <deque>
#include <vector>

class pre_trigger {
public:
    static constexpr double max_seconds = 60;
    static constexpr double slack_seconds = 5;

    // 0 to 60; 0 keeps nothing.
    void set_seconds(double seconds);
    double seconds() const { return span_s; }
    void add(const rv8_frame& frame);
    // The span before the newest record, oldest first; the buffer is empty afterwards.
    std::vector<rv8_frame> take();
    // The span before the record stamped start: from start less the span on.
    std::vector<rv8_frame> take_before(qint64 start);
    void clear() { kept.clear(); }
    int size() const { return int(kept.size()); }

private:
    std::deque<rv8_frame> kept;
    double span_s = 0;
};
