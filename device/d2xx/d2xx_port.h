#pragma once
#include "device/d2xx/ftd2xx.h"

// One opened device as a provider serves it. The registry maps FT_HANDLEs onto ports and calls
// these with the same meaning as the D2XX function of the same name.
class d2xx_port {
public:
    virtual ~d2xx_port() = default;
    virtual FT_STATUS set_timeouts(ULONG read_ms, ULONG write_ms) = 0;
    virtual FT_STATUS set_latency_timer(UCHAR ms) = 0;
    virtual FT_STATUS purge(ULONG mask) = 0;
    virtual FT_STATUS write(const char* data, DWORD length, DWORD* written) = 0;
    // Returns what arrived within the read time-out, at most length bytes.
    virtual FT_STATUS read(char* data, DWORD length, DWORD* received) = 0;
    virtual FT_STATUS queue_status(DWORD* rx_bytes) = 0;
    virtual FT_STATUS status(DWORD* rx_bytes, DWORD* tx_bytes, DWORD* events) = 0;
    virtual FT_STATUS reset_device() = 0;
    virtual FT_STATUS close() = 0;
};
