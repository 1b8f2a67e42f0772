#pragma once
#include "device/d2xx/ftd2xx.h"

#include <QByteArray>
#include <QVector>

#include <functional>

class sim_unit;

// The D2XX calls a virtual port can be told to fail.
enum class d2xx_call {
    set_timeouts,
    set_latency_timer,
    purge,
    write,
    read,
    queue_status,
    get_status,
    reset_device,
    close,
    open,
};

// Driver-side faults of one virtual device; what the unit itself does wrong lives in sim_faults.
struct virtual_faults {
    struct failure {
        d2xx_call call;
        FT_STATUS status;
        int skip;  // calls that still succeed before the failures start
        int times; // failures in a row; negative: for ever
    };

    QVector<failure> failures;
    int short_writes = 0; // next writes take one byte less than offered
    int short_reads = 0;  // next reads return one byte less than asked
    bool tx_stuck = false; // the transmit queue never empties
    int rx_shown = -1;     // the receive queue shows at most this many bytes: the rest still in transit
    bool unplugged = false; // set to pull the device out: from the next call on, every call fails

    // A fault that strikes in the middle of a longer operation: when the program writes a buffer
    // starting with strike_on, strike runs once, before that write is handled, and may set any
    // fault here or in the unit (a null unit for a device without one).
    QByteArray strike_on;
    std::function<void(sim_unit*, virtual_faults&)> strike;

    void fail(d2xx_call call, FT_STATUS status, int skip = 0, int times = 1)
    {
        failures.append({call, status, skip, times});
    }

    // The status this call has to return now, FT_OK for none; counts the call.
    FT_STATUS take(d2xx_call call)
    {
        for (int i = 0; i < failures.size(); ++i) {
            failure& f = failures[i];
            if (f.call != call)
                continue;
            if (f.skip > 0) {
                --f.skip;
                return FT_OK;
            }
            const FT_STATUS status = f.status;
            if (f.times > 0 && --f.times == 0)
                failures.remove(i);
            return status;
        }
        return FT_OK;
    }
};
