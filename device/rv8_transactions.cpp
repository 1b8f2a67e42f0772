// The two request/reply exchanges every conversation with the application firmware is made of.

#include "device/rv8.h"
#include "device/rv8_protocol.h"

#include <QDebug>

using namespace rv8_protocol;

FT_STATUS rv8_worker::purge_or_close()
{
    const FT_STATUS status = FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
    if (status != FT_OK) {
        qCritical("Cannot purge Rx/Tx buffers, disconnecting");
        close();
    }
    return status;
}

FT_STATUS rv8_worker::get_param(QByteArray& msg, QByteArray& ret, unsigned long exp_len)
{
    if (!is_open()) {
        ret.clear();
        return FT_DEVICE_NOT_OPENED;
    }
    if (FT_STATUS status = purge_or_close()) {
        ret.clear();
        return status;
    }
    DWORD written = 0;
    FT_STATUS status = ft_write_wrap(handle, msg.data(), DWORD(msg.size()), &written);
    if (status != FT_OK) {
        ret.clear();
        qCritical("Cannot write command to device. msg=%s", msg.toHex().constData());
        return status;
    }
    if (written < DWORD(msg.size())) {
        qCritical("Could not write all data to device");
        ret.clear();
        return FT_IO_ERROR;
    }
    status = wait_then_read(ret, exp_len + reply_header_size);
    if (status != FT_OK) {
        qWarning().noquote().nospace() << "Could not read msg " << msg.left(5).toHex() << "...(exp "
                                       << exp_len << ")";
        ret.clear();
        return status;
    }
    if (quint8(ret[0]) != reply_start || quint8(ret[1]) != msg_command || quint8(ret[2]) != 0xFA) {
        qCritical("get_param: Did not receive valid return msg header: 0x%02x%02x%02x", quint8(ret[0]),
                  quint8(ret[1]), quint8(ret[2]));
        ret.clear();
        return FT_OTHER_ERROR;
    }
    ret = ret.right(int(exp_len));
    return FT_OK;
}

FT_STATUS rv8_worker::set_param(rv8_msg_type type, QByteArray& payload)
{
    if (!is_open())
        return FT_DEVICE_NOT_OPENED;
    QByteArray msg = build_frame(type, payload);
    const QByteArray expected = reply_header(type);
    QByteArray ret;
    for (int attempt = 0; attempt < 5; ++attempt) {
        // Purging first means a late byte from the previous attempt never passes for this reply.
        if (FT_STATUS status = purge_or_close())
            return status;
        DWORD written = 0;
        FT_STATUS status = ft_write_wrap(handle, msg.data(), DWORD(msg.size()), &written);
        if (status != FT_OK) {
            qCritical().noquote().nospace() << "Cannot write msg " << msg.left(5).toHex();
            close();
            return status;
        }
        if (written < DWORD(msg.size())) {
            qCritical("Could not write all data to device. msg length=%d  bytes sent=%ld", payload.size(),
                      long(written));
            return FT_IO_ERROR;
        }
        status = wait_then_read(ret, reply_header_size);
        if (status != FT_OK) {
            qWarning().noquote().nospace() << "Could not get return code for msg " << payload.left(5).toHex();
            return status;
        }
        if (ret == expected) {
            if (attempt > 0)
                qWarning("Retry successful!");
            return FT_OK;
        }
        qWarning("Did not receive valid return msg header. ret=0x%02x%02x%02x exp=0x%02x%02x%02x. Will retry...",
                 quint8(ret[0]), quint8(ret[1]), quint8(ret[2]), quint8(expected[0]), quint8(expected[1]),
                 quint8(expected[2]));
    }
    qCritical("Could not write message to device, there seems to be a problem with your USB cable. Suggest you "
              "replace your USB cable with one that has a ferrite bead on the device-end (google 'ferrite bead')");
    return FT_IO_ERROR;
}
