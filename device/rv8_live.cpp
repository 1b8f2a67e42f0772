// Live logging: switching the unit's stream on and off.

#include "device/rv8.h"
#include "device/rv8_protocol.h"

#include <QDebug>
#include <QThread>
#include <QTimer>
#include <cmath>

using namespace rv8_protocol;

void rv8_worker::stop_live_logging(bool immediately)
{
    if (in_other_thread([=] { stop_live_logging(immediately); }))
        return;
    log_timer->stop();
    emit log_stopped();
    if (!is_open()) {
        qWarning("Can't stop logging, not connected");
        return;
    }
    if (immediately)
        qDebug("Stop logging immediately");
    if (send_live_off() == FT_OK)
        drain_after_live_off();
}

FT_STATUS rv8_worker::send_live_off()
{
    // Written directly: its reply header is never read, the purge after draining discards it.
    QByteArray msg = frame(frame_live_off);
    DWORD written = 0;
    const FT_STATUS status = ft_write_wrap(handle, msg.data(), DWORD(msg.size()), &written);
    if (status != FT_OK) {
        qCritical().noquote().nospace() << "Cannot write msg " << msg.left(5).toHex();
        return status;
    }
    if (written < DWORD(msg.size())) {
        qCritical("Could not write all data to device. msg length=%d  bytes read=%ld", msg.size(), long(written));
        return FT_IO_ERROR;
    }
    return FT_OK;
}

void rv8_worker::drain_after_live_off()
{
    for (int round = 0; round < 30; ++round) {
        DWORD rx = 0, tx = 0, events = 0;
        if (FT_GetStatus(handle, &rx, &tx, &events) != FT_OK) {
            qCritical("Cannot get queue status");
            return;
        }
        if (tx == 0) {
            qDebug() << "Log messages left in queue:" << qRound(rx / 70.0);
            // Records already on their way still arrive; let them land before the purge.
            QThread::msleep(250);
            if (FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX) != FT_OK)
                qCritical("Cannot purge Rx/Tx buffers");
            return;
        }
        QThread::msleep(1);
    }
    qCritical() << "Need to increase the amount of time we wait for the Tx buffer to clear:" << 0;
}
