#include "live/record_trigger.h"

#include "live/live_channels.h"

void record_trigger::arm(const plan& plan_, bool recording_now)
{
    p = plan_;
    run_since = -1;
    started_at = -1;
    current = recording_now || !p.has_start ? recording : waiting;
}

bool record_trigger::held(const record_condition& c, double value, qint64 t, qint64& run)
{
    if (!c.holds(value)) {
        run = -1;
        return false;
    }
    if (run < 0 || t < run) // a stamp going back starts the run again
        run = t;
    return double(t - run) >= c.hold_s * 1000.0;
}

record_trigger::action record_trigger::end()
{
    run_since = -1;
    started_at = -1;
    current = p.has_start ? waiting : done;
    return stop;
}

record_trigger::action record_trigger::feed(const rv8_frame& frame, const channel_scale& scale)
{
    const qint64 t = frame.timestamp;
    last_t = t;
    switch (current) {
    case waiting:
        if (!held(p.start_when, scale.value(p.start_when.channel, frame), t, run_since))
            return none;
        run_since = -1;
        started_at = t;
        current = recording;
        return start;
    case recording:
        if (started_at < 0 || t < started_at)
            started_at = t;
        if (p.stop_after_s > 0 && double(t - started_at) >= p.stop_after_s * 1000.0)
            return end();
        if (p.has_stop && held(p.stop_when, scale.value(p.stop_when.channel, frame), t, run_since))
            return end();
        return none;
    case idle:
    case done:
        break;
    }
    return none;
}

QString record_trigger::describe(const channel_scale& scale) const
{
    const auto so_far = [this](const record_condition& c) {
        if (run_since < 0 || c.hold_s <= 0)
            return QString();
        return QStringLiteral(" (held %1 s)").arg(QString::number((last_t - run_since) / 1000.0, 'f', 1));
    };
    switch (current) {
    case waiting:
        return QStringLiteral("Armed: start when %1%2").arg(p.start_when.describe(scale), so_far(p.start_when));
    case recording: {
        QStringList ends;
        if (p.has_stop)
            ends << QStringLiteral("stop when %1%2").arg(p.stop_when.describe(scale), so_far(p.stop_when));
        if (p.stop_after_s > 0) {
            const double left = started_at < 0 ? p.stop_after_s : p.stop_after_s - (last_t - started_at) / 1000.0;
            ends << QStringLiteral("stops in %1 s").arg(QString::number(qMax(0.0, left), 'f', 0));
        }
        return ends.isEmpty() ? QStringLiteral("Recording") : QStringLiteral("Recording: ") + ends.join(QStringLiteral(", or "));
    }
    case idle:
    case done:
        break;
    }
    return QString();
}
