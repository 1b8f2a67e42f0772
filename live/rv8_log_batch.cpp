#include "live/rv8_log_batch.h"

#include <algorithm>

rv8_log_batch::rv8_log_batch(rv8_log& log, tsafe_qvector<unsigned int>& marks, int rows)
    : log(log), marks(marks), rows(size_t(std::max(rows, 1)))
{
    frames.reserve(this->rows);
    frame_marks.reserve(this->rows);
}

void rv8_log_batch::add(const rv8_frame& frame, bool after_gap)
{
    if (after_gap) {
        if (frame_marks.empty())
            marks.replace_last(0);
        else
            frame_marks.back() = 0;
    }
    frame_marks.push_back(after_gap ? 0 : 1);
    frames.push_back(frame);
    if (frames.size() == rows)
        flush();
}

void rv8_log_batch::flush()
{
    if (frames.empty())
        return;
    marks.append_each(int(frame_marks.size()), [this](int k) { return frame_marks[size_t(k)]; });
    log.append(frames);
    frames.clear();
    frame_marks.clear();
}
