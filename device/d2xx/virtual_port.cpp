#include "device/d2xx/virtual_port.h"

#include <QThread>
#include <chrono>

virtual_port::virtual_port(std::shared_ptr<virtual_device> device) : device(std::move(device))
{
    QMutexLocker lock(&this->device->mutex);
    this->device->opened = true;
}

virtual_port::~virtual_port()
{
    QMutexLocker lock(&device->mutex);
    device->opened = false;
}

FT_STATUS virtual_port::check(d2xx_call call)
{
    if (closed)
        return FT_INVALID_HANDLE;
    if (device->faults.unplugged) {
        device->faults.unplugged = false;
        device->present = false;
    }
    if (!device->present)
        return FT_IO_ERROR;
    return device->faults.take(call);
}

void virtual_port::pump()
{
    if (!device->unit)
        return;
    const auto visible = sim_clock::now() - std::chrono::milliseconds(latency_ms);
    rx.append(device->unit->take_output(visible));
}

DWORD virtual_port::visible() const
{
    const int limit = device->faults.rx_shown;
    return DWORD(limit < 0 ? rx.size() : std::min(limit, rx.size()));
}

FT_STATUS virtual_port::set_timeouts(ULONG read_ms, ULONG)
{
    QMutexLocker lock(&device->mutex);
    if (FT_STATUS s = check(d2xx_call::set_timeouts))
        return s;
    read_timeout_ms = read_ms;
    return FT_OK;
}

FT_STATUS virtual_port::set_latency_timer(UCHAR ms)
{
    QMutexLocker lock(&device->mutex);
    if (FT_STATUS s = check(d2xx_call::set_latency_timer))
        return s;
    if (ms < 1)
        return FT_INVALID_PARAMETER;
    latency_ms = ms;
    return FT_OK;
}

FT_STATUS virtual_port::purge(ULONG mask)
{
    QMutexLocker lock(&device->mutex);
    if (FT_STATUS s = check(d2xx_call::purge))
        return s;
    if (mask & FT_PURGE_RX) {
        pump();
        rx.clear();
    }
    return FT_OK;
}

FT_STATUS virtual_port::write(const char* data, DWORD length, DWORD* written)
{
    QMutexLocker lock(&device->mutex);
    *written = 0;
    virtual_faults& faults = device->faults;
    if (faults.strike && QByteArray::fromRawData(data, int(length)).startsWith(faults.strike_on)) {
        const auto strike = std::move(faults.strike);
        faults.strike = nullptr;
        strike(device->unit.get(), faults);
    }
    if (FT_STATUS s = check(d2xx_call::write))
        return s;
    DWORD taken = length;
    if (device->faults.short_writes > 0 && length > 0) {
        --device->faults.short_writes;
        --taken;
    }
    const QByteArray bytes(data, int(taken));
    device->written.append(QByteArray(data, int(length)));
    if (device->unit)
        device->unit->receive(bytes, sim_clock::now());
    *written = taken;
    return FT_OK;
}

FT_STATUS virtual_port::read(char* data, DWORD length, DWORD* received)
{
    *received = 0;
    const auto deadline = sim_clock::now() + std::chrono::milliseconds(read_timeout_ms);
    for (;;) {
        {
            QMutexLocker lock(&device->mutex);
            if (FT_STATUS s = check(d2xx_call::read))
                return s;
            pump();
            DWORD wanted = length;
            if (device->faults.short_reads > 0 && wanted > 0 && DWORD(rx.size()) >= wanted) {
                --device->faults.short_reads;
                --wanted;
            }
            const DWORD shown = visible();
            if (shown >= wanted || sim_clock::now() >= deadline) {
                const DWORD n = std::min<DWORD>(wanted, shown);
                std::copy(rx.constData(), rx.constData() + n, data);
                rx.remove(0, int(n));
                *received = n;
                return FT_OK;
            }
        }
        QThread::msleep(1);
    }
}

FT_STATUS virtual_port::queue_status(DWORD* rx_bytes)
{
    QMutexLocker lock(&device->mutex);
    *rx_bytes = 0;
    if (FT_STATUS s = check(d2xx_call::queue_status))
        return s;
    pump();
    *rx_bytes = visible();
    return FT_OK;
}

FT_STATUS virtual_port::status(DWORD* rx_bytes, DWORD* tx_bytes, DWORD* events)
{
    QMutexLocker lock(&device->mutex);
    *rx_bytes = *tx_bytes = *events = 0;
    if (FT_STATUS s = check(d2xx_call::get_status))
        return s;
    pump();
    *rx_bytes = visible();
    *tx_bytes = device->faults.tx_stuck ? 1 : 0;
    return FT_OK;
}

FT_STATUS virtual_port::reset_device()
{
    QMutexLocker lock(&device->mutex);
    if (FT_STATUS s = check(d2xx_call::reset_device))
        return s;
    rx.clear();
    return FT_OK;
}

FT_STATUS virtual_port::close()
{
    QMutexLocker lock(&device->mutex);
    if (closed)
        return FT_INVALID_HANDLE;
    const FT_STATUS s = device->present ? device->faults.take(d2xx_call::close) : FT_OK;
    closed = true;
    device->opened = false;
    return s;
}
