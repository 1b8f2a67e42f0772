#pragma once
// Decides, sample by sample, when a triggered recording starts and ends: a start condition held for
// its time, then a stop condition held for its own time, or a time limit. Conditions are checked on
// the samples' own time stamps, so a recording starts and stops at the same records whoever feeds
// them. After a stop it waits for the start condition again; without one it is done.

#include "live/record_condition.h"
#include "live/rv8_frame.h"

#include <QString>

class channel_scale;

class record_trigger {
public:
    enum action { none, start, stop };
    enum phase { idle, waiting, recording, done };

    struct plan {
        bool has_start = false;
        record_condition start_when;
        bool has_stop = false;
        record_condition stop_when;
        double stop_after_s = 0; // 0: no time limit
    };

    // waiting for the start condition, or, when recording_now (or without a start condition), recording
    // from the next sample on.
    void arm(const plan& p, bool recording_now);
    void disarm() { current = idle; }

    action feed(const rv8_frame& frame, const channel_scale& scale);

    phase state() const { return current; }
    // For the status bar: what is awaited, with how long it has held so far.
    QString describe(const channel_scale& scale) const;

private:
    // True once the condition has held on every sample for its time; run is when it began to hold.
    static bool held(const record_condition& c, double value, qint64 t, qint64& run);
    action end();

    plan p;
    phase current = idle;
    qint64 run_since = -1;   // first sample of the current run of the awaited condition
    qint64 started_at = -1;  // first sample of the recording
    qint64 last_t = 0;
};
