// Finding, opening, identifying, resetting and closing the unit, and the traced byte moves.

#include "device/rv8.h"
#include "device/rv8_protocol.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThread>
#include <vector>

using namespace rv8_protocol;

namespace {
constexpr const char* unit_description = "KIRRA 3";
constexpr quint32 device_arrival = 0x8000;
constexpr quint32 device_removal_complete = 0x8004;
constexpr qint64 reply_wait_ms = 2000;
}

bool rv8_worker::find_unit()
{
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK)
        qFatal("Cannot create device info list, FTDI drivers are probably locked up (windows error)");
    if (count == 0)
        return false;
    std::vector<FT_DEVICE_LIST_INFO_NODE> list(count);
    if (FT_GetDeviceInfoList(list.data(), &count) != FT_OK)
        qFatal("Cannot get device info list, FTDI drivers are probably locked up (windows error)");
    // Every match is taken, so with several units attached the last one listed is used.
    for (DWORD i = 0; i < count && i < list.size(); ++i) {
        if (qstrncmp(list[i].Description, unit_description, sizeof list[i].Description) != 0)
            continue;
        serial_number = QString::fromUtf8(list[i].SerialNumber, int(qstrnlen(list[i].SerialNumber, 16)));
        handle = list[i].ftHandle;
        qDebug("Vantrel RV8-SX detected:");
        qDebug("  Dev %lu  Serial %s", i, qPrintable(serial_number));
    }
    return is_open();
}

void rv8_worker::open()
{
    if (in_other_thread([=] { open(); }))
        return;
    silent_close();
    if (!find_unit()) {
        emit closed();
        return;
    }
    const QByteArray serial = serial_number.toLocal8Bit();
    FT_STATUS status = FT_OpenEx(const_cast<char*>(serial.constData()), FT_OPEN_BY_SERIAL_NUMBER, &handle);
    if (status != FT_OK) {
        qCritical("Cannot open device, returned %lu. Try again!", status);
        close();
        return;
    }
    if ((status = FT_SetTimeouts(handle, 1000, 1000)) != FT_OK) {
        qCritical("Cannot set timeouts: %lu", status);
        close();
        return;
    }
    if ((status = FT_SetLatencyTimer(handle, latency_timer_ms)) != FT_OK) {
        qCritical("Could not set latency timer: %lu", status);
        close();
        return;
    }
    stop_live_logging(true);
    // A unit in its bootloader does not answer: it shows as fw 0.
    identify();
    announce_unit();
}

// Telling the window about a unit that was pulled out during its identity query would show one in
// its bootloader that is not there.
void rv8_worker::announce_unit()
{
    if (!is_open())
        return;
    record_variant();
    emit opened(serial_number, fw_version, variant);
}

// The identity query, and when it fails without having closed the link (a failed write leaves it
// open), a word with the driver on whether the device is still there at all.
FT_STATUS rv8_worker::identify()
{
    const FT_STATUS status = query_identity();
    DWORD rx = 0, tx = 0, events = 0;
    if (status != FT_OK && is_open() && FT_GetStatus(handle, &rx, &tx, &events) != FT_OK) {
        qCritical("Cannot get queue status, disconnecting");
        close();
    }
    return status;
}

FT_STATUS rv8_worker::query_identity()
{
    fw_version = 0;
    variant = variant_rv8_s;
    QByteArray msg = frame(frame_read_fw_version);
    QByteArray ret;
    if (FT_STATUS status = get_param(msg, ret, 2))
        return status;
    fw_version = quint16((quint8(ret[0]) << 8) | quint8(ret[1]));
    msg = frame(frame_read_variant);
    if (FT_STATUS status = get_param(msg, ret, 1))
        return status;
    variant = quint8(ret[0]) == 0xAA ? variant_rv8_sx : variant_rv8_s;
    return FT_OK;
}

void rv8_worker::record_variant()
{
    add_field_to_var(quint32(variant), int_variant);
}

void rv8_worker::close()
{
    if (in_other_thread([=] { close(); }))
        return;
    silent_close();
    emit closed();
}

FT_STATUS rv8_worker::silent_close()
{
    FT_STATUS status = FT_OK;
    if (is_open()) {
        if (is_logging())
            stop_live_logging(true);
        status = FT_Close(handle);
        if (status != FT_OK)
            qWarning("Cannot disconnect from device handle %p (you can probably ignore this)", handle);
    }
    handle = nullptr;
    serial_number.clear();
    return status;
}

void rv8_worker::reset()
{
    if (in_other_thread([=] { reset(); }))
        return;
    qDebug("Start reset");
    if (!is_open())
        return;
    stop_live_logging(true);
    qDebug("Resetting RV8-SX");
    QByteArray msg = frame(frame_reset);
    QByteArray ret;
    if (get_param(msg, ret, 0) != FT_OK) {
        if (!is_open())
            return; // the link went down on the way and has said so
        qWarning("Could not reset device, suggest you power-cycle the unit");
    }
    qDebug("Resetting FTDI");
    if (FT_ResetDevice(handle) != FT_OK)
        qWarning("Could not reset the comms device, suggest you power-cycle the unit");
}

FT_STATUS rv8_worker::reset_into_bootloader()
{
    if (!is_open())
        return FT_DEVICE_NOT_OPENED;
    qDebug("Start reset into bootloader");
    if (fw_version == 0) {
        qDebug("Alread in bootloader mode");
        return FT_OK;
    }
    stop_live_logging(true);
    QByteArray msg = frame(frame_enter_bootloader);
    QByteArray ret;
    FT_STATUS status = get_param(msg, ret, 0);
    if (status != FT_OK) {
        qWarning("Could not reset device, suggest you power-cycle the unit");
        return status;
    }
    QThread::msleep(100);
    DWORD queued = 0;
    if ((status = FT_GetQueueStatus(handle, &queued)) != FT_OK) {
        qCritical("Cannot get queue status, disconnecting");
        close();
        return status;
    }
    if (queued < 2) {
        qCritical("Could not reset properly, no data from device: %lu", queued);
        return FT_IO_ERROR;
    }
    QByteArray banner(int(queued), '\0');
    DWORD got = 0;
    if (ft_read_wrap(handle, banner.data(), queued, &got) != FT_OK || got != queued) {
        qCritical("Could not read from device");
        close();
        return FT_IO_ERROR;
    }
    const int v = banner.indexOf('v');
    if (v >= 0) {
        if (v + 1 < banner.size() && banner[v + 1] >= '0' && banner[v + 1] <= '9') {
            qDebug("In bootloader mode");
            fw_version = 0;
            emit opened(serial_number, 0, variant);
            return FT_OK;
        }
        qCritical("Found a 'v' but not the actual bootloader version (this should never happen). Some kind of comms issue?");
        return FT_OTHER_ERROR;
    }
    qCritical("Could not reset into bootloader mode. Either FW is too old (must be greater than v1.60) or there was a comms issue (power cycle the board).");
    identify();
    announce_unit();
    return FT_OTHER_ERROR;
}

void rv8_worker::smart_reconnect(quint32 event)
{
    if (in_other_thread([=] { smart_reconnect(event); }))
        return;
    if (event == device_arrival) {
        if (!is_open())
            open();
    } else if (event == device_removal_complete && is_open()) {
        DWORD rx = 0, tx = 0, events = 0;
        if (FT_GetStatus(handle, &rx, &tx, &events) != FT_OK)
            close();
    }
}

FT_STATUS rv8_worker::ft_write_wrap(FT_HANDLE h, LPVOID buffer, DWORD length, LPDWORD written)
{
    if (!is_open())
        return FT_DEVICE_NOT_OPENED;
    if (rw_debug)
        qDebug("write 0x%s", QByteArray(static_cast<const char*>(buffer), int(length)).toHex().constData());
    return FT_Write(h, buffer, length, written);
}

FT_STATUS rv8_worker::ft_read_wrap(FT_HANDLE h, LPVOID buffer, DWORD length, LPDWORD read)
{
    if (!is_open())
        return FT_DEVICE_NOT_OPENED;
    const FT_STATUS status = FT_Read(h, buffer, length, read);
    if (rw_debug)
        qDebug("read  0x%s", QByteArray(static_cast<const char*>(buffer), int(*read)).toHex().constData());
    return status;
}

FT_STATUS rv8_worker::wait_then_read(QByteArray& data, unsigned long exp_bytes)
{
    data.fill('\0', int(exp_bytes));
    if (!is_open())
        return FT_DEVICE_NOT_OPENED;
    // The wait is bounded by the clock, not by counting polls: on a busy machine a sleep can
    // overrun, and a fixed count of short sleeps would then give up long before two seconds.
    // Polled every millisecond: over a pseudo-terminal a reply is often in within one.
    QElapsedTimer waited;
    waited.start();
    DWORD queued = 0;
    for (;;) {
        const FT_STATUS status = FT_GetQueueStatus(handle, &queued);
        if (status != FT_OK) {
            qCritical("Cannot get queue status, disconnecting");
            close();
            return status;
        }
        if (queued >= exp_bytes || waited.elapsed() >= reply_wait_ms)
            break;
        QThread::msleep(1);
    }
    if (queued < exp_bytes) {
        qWarning("Timed out waiting for FW to respond: exp_bytes=%lu, bytes available=%lu", exp_bytes, queued);
        return FT_OTHER_ERROR;
    }
    DWORD got = 0;
    const FT_STATUS status = ft_read_wrap(handle, data.data(), DWORD(exp_bytes), &got);
    if (status != FT_OK) {
        qCritical("Could not read from device");
        close();
        return status;
    }
    if (got != exp_bytes) {
        qCritical("Did not read out the expected number of bytes: exp_bytes=%lu, read bytes=%lu", exp_bytes, got);
        data.clear();
        return FT_IO_ERROR;
    }
    return FT_OK;
}
