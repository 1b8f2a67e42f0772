#pragma once
#include "device/d2xx/d2xx_port.h"

#include <QString>

// A tty opened in raw mode (8N1, no flow control) behind the D2XX calls. Once the tty is hung up
// (the USB bridge was unplugged, or the other end of a pseudo-terminal went away) every call but
// close fails with FT_IO_ERROR at once, so nothing waits on a dead device.
class serial_port : public d2xx_port {
public:
    // Takes ownership of fd. sysfs_dir holds the bridge's latency_timer; empty for ports that
    // have none (pseudo-terminals, on-board UARTs).
    serial_port(int fd, const QString& path, const QString& sysfs_dir);
    ~serial_port() override;
    serial_port(const serial_port&) = delete;
    serial_port& operator=(const serial_port&) = delete;

    // A raw, locked descriptor for path; -1 with *status set when it cannot be had.
    static int open_raw(const QString& path, FT_STATUS* status);

    // A time-out of 0 takes what can be moved at once and never waits.
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
    FT_STATUS lost(const char* call);
    // Waits, bounded by the write time-out, until the kernel has sent what was written.
    FT_STATUS drain_output();
    // Waits up to timeout_ms for events on the fd; false when the tty hung up.
    bool wait_for(short events, int timeout_ms, bool* ready);

    int fd;
    QString path;
    QString sysfs_dir;
    ULONG read_timeout_ms = 0;
    ULONG write_timeout_ms = 0;
    bool gone = false;
    bool latency_warned = false;
};
