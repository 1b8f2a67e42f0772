#pragma once
#include "device/d2xx/d2xx_port.h"
#include "device/d2xx/virtual_device.h"

#include <QByteArray>
#include <memory>

// The program's end of the in-memory pipe to a simulated unit. Bytes the unit sends become
// visible only after the USB latency timer, as with the real bridge, which holds short packets
// back until its timer runs out.
class virtual_port : public d2xx_port {
public:
    explicit virtual_port(std::shared_ptr<virtual_device> device);
    ~virtual_port() override;

    FT_STATUS set_timeouts(ULONG read_ms, ULONG write_ms) override;
    FT_STATUS set_latency_timer(UCHAR ms) override;
    FT_STATUS purge(ULONG mask) override;
    FT_STATUS write(const char* data, DWORD length, DWORD* written) override;
    FT_STATUS read(char* data, DWORD length, DWORD* received) override;
    FT_STATUS queue_status(DWORD* rx_bytes) override;
    FT_STATUS status(DWORD* rx_bytes, DWORD* tx_bytes, DWORD* events) override;
    FT_STATUS reset_device() override;
    FT_STATUS close() override;

private:
    // Status for this call: unplugged, closed or an injected failure. Caller holds the lock.
    FT_STATUS check(d2xx_call call);
    // Moves what the unit has sent by now, less the latency, into the receive queue.
    void pump();
    // Bytes of the receive queue the program may see now. Caller holds the lock.
    DWORD visible() const;

    std::shared_ptr<virtual_device> device;
    QByteArray rx;
    ULONG read_timeout_ms = 0;
    int latency_ms = 16; // the bridge's default until the program sets its own
    bool closed = false;
};
