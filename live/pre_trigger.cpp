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
    const double kept_s = span_s + slack_seconds;
    const double oldest = double(newest) - kept_s * 1000.0;
    // A clock set back leaves stamps from "after" the newest: they are not the last seconds either.
    // The cap holds the buffer to its span even for records stamped alike.
    const size_t cap = size_t(kept_s * 1000.0) + 1;
    while (!kept.empty()
           && (double(kept.front().timestamp) < oldest || kept.front().timestamp > newest || kept.size() > cap))
        kept.pop_front();
}

std::vector<rv8_frame> pre_trigger::take()
{
    return take_before(kept.empty() ? 0 : kept.back().timestamp);
}

std::vector<rv8_frame> pre_trigger::take_before(qint64 start)
{
    const double oldest = double(start) - span_s * 1000.0;
    std::vector<rv8_frame> out;
    for (const rv8_frame& f : kept)
        if (double(f.timestamp) >= oldest)
            out.push_back(f);
    kept.clear();
    return out;
}
