#pragma once
// A stretch of the log store between two times: how long it is and each live channel's minimum,
// maximum and mean in user units, and the same samples as CSV for a spreadsheet.

#include "live/live_channels.h"

#include <QIODevice>
#include <QList>

#include <array>

class rv8_log;

struct range_summary {
    qint64 from = 0;
    qint64 to = 0;
    int samples = 0;
    struct stats {
        double min = 0, max = 0, mean = 0;
    };
    std::array<stats, live_channels::count> channels{};

    double seconds() const { return (to - from) / 1000.0; }
};

// Every sample stamped within [from, to].
range_summary summarize_range(const rv8_log& log, qint64 from, qint64 to, const channel_scale& scale);

// One header line ("timestamp" and each channel's caption with its unit), then one row per sample
// within [from, to]: its stamp in milliseconds since the epoch and the channels in user units.
// False when the device would not take the text.
bool write_range_csv(QIODevice& out, const rv8_log& log, qint64 from, qint64 to, const QList<int>& channels,
                     const channel_scale& scale);
