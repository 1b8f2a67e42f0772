#include "live/pre_trigger.h"

#include <algorithm>
#include <cmath>

void pre_trigger::set_seconds(double seconds)
{
    span_s = std::isfinite(seconds) ? std::clamp(seconds, 0.0, max_seconds) : 0.0;
    if (span_s <= 0)
        kept.clear();
}

void pre_trigger::add(const rv8_frame& frame)
{
    if (span_s <= 0)
        return;
    kept.push_back(frame);
    const qint64 newest = frame.timestamp;
    const double oldest = double(newest) - span_s * 1000.0;
    // A clock set back leaves stamps from "after" the newest: they are not the last seconds either.
    // The cap holds the buffer to its span even for records stamped alike.
    const size_t cap = size_t(span_s * 1000.0) + 1;
    while (!kept.empty()
           && (double(kept.front().timestamp) < oldest || kept.front().timestamp > newest || kept.size() > cap))
        kept.pop_front();
}

std::vector<rv8_frame> pre_trigger::take()
{
    std::vector<rv8_frame> out(kept.begin(), kept.end());
    kept.clear();
    return out;
}
