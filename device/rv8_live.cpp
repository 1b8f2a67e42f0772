// Live logging: switching the unit's stream on and off, and taking its records one per poll.

#include "device/rv8.h"
#include "device/rv8_protocol.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

using namespace rv8_protocol;

namespace {
constexpr int poll_interval_ms = 1;
constexpr uint last_read_ms = 100;
// Without the stream-off reply in sight, a quiet line is all there is to go by. A unit sends a
// record every 13.13 ms, but one that has not yet taken the stream-off request (a busy machine, a
// unit behind a pseudo-terminal) can fall quiet for longer and then send on: so wait well beyond
// a record period before taking quiet for the end.
constexpr qint64 quiet_ms = 100;
// The stream-off reply comes after every record sent before it, so after whole records and the
// reply a shorter quiet is enough; it only has to rule out record bytes that look like the reply.
constexpr qint64 quiet_after_reply_ms = latency_timer_ms + 2;
// A unit that never falls quiet is not waited for beyond this.
constexpr qint64 drain_limit_ms = 300;
}

void rv8_worker::start_live_logging()
{
    if (in_other_thread([=] { start_live_logging(); }))
        return;
    if (is_logging()) {
        qDebug("Logging already started");
        return;
    }
    if (!is_open()) {
        qWarning("Cannot start logging, not open");
        return;
    }
    qDebug("Start logging");
    QByteArray payload(1, char(live_on));
    if (set_param(msg_live_log, payload) != FT_OK) {
        qCritical("Could not start logging");
        stop_live_logging(true);
        return;
    }
    log_timer->start(poll_interval_ms);
    emit log_started();
}

void rv8_worker::stop_live_logging()
{
    if (in_other_thread([=] { stop_live_logging(); }))
        return;
    stop_live_logging(false);
}

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
    if (immediately) {
        qDebug("Stop logging immediately");
    } else {
        qDebug("Reading one more time before stopping logging");
        check_log_data_for_period(last_read_ms);
        if (!is_open())
            return; // the last read lost the link
    }
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
    if (!wait_for_tx_empty())
        return;
    qint64 drained = 0;
    if (!drain_until_quiet(drained))
        return;
    qDebug() << "Log messages left in queue:" << drained / live_record_size;
    if (FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX) != FT_OK)
        qCritical("Cannot purge Rx/Tx buffers");
}

bool rv8_worker::wait_for_tx_empty()
{
    for (int round = 0; round < 30; ++round) {
        DWORD rx = 0, tx = 0, events = 0;
        if (FT_GetStatus(handle, &rx, &tx, &events) != FT_OK) {
            qCritical("Cannot get queue status");
            return false;
        }
        if (tx == 0)
            return true;
        QThread::msleep(1);
    }
    qCritical() << "Need to increase the amount of time we wait for the Tx buffer to clear:" << 0;
    return false;
}

// Reads whatever still arrives until the line is quiet, so that no record sent before the stream
// went off can land after the purge and pass for the next reply's header.
bool rv8_worker::drain_until_quiet(qint64& drained)
{
    const QByteArray reply = reply_header(msg_live_log);
    QByteArray tail;
    QElapsedTimer since_start, since_bytes;
    since_start.start();
    since_bytes.start();
    for (;;) {
        DWORD rx = 0, tx = 0, events = 0;
        if (FT_GetStatus(handle, &rx, &tx, &events) != FT_OK) {
            qCritical("Cannot get queue status");
            return false;
        }
        if (rx > 0) {
            QByteArray bytes(int(rx), '\0');
            DWORD got = 0;
            if (ft_read_wrap(handle, bytes.data(), rx, &got) != FT_OK) {
                qCritical("Could not read from device");
                return false;
            }
            drained += got;
            tail = (tail + bytes.left(int(got))).right(reply.size());
            since_bytes.restart();
        }
        const qint64 quiet = since_bytes.elapsed();
        const bool replied = tail == reply && drained % live_record_size == reply.size();
        if (quiet >= quiet_ms || (replied && quiet >= quiet_after_reply_ms))
            return true;
        if (since_start.elapsed() >= drain_limit_ms) {
            qWarning("The unit still sends after logging was switched off");
            return true;
        }
        QThread::msleep(1);
    }
}

void rv8_worker::check_log_data()
{
    if (in_other_thread([=] { check_log_data(); }))
        return;
    check_log_data_for_period(0);
}

void rv8_worker::check_log_data_for_period(uint loop_for_ms)
{
    if (in_other_thread([=] { check_log_data_for_period(loop_for_ms); }))
        return;
    if (!is_open()) {
        qWarning("Not connected, stopping logging");
        log_timer->stop();
        return;
    }
    DWORD queued = 0;
    if (!wait_for_record(queued, loop_for_ms))
        return;
    if (queued >= 2 * live_record_size)
        qDebug() << "Enqueued mesages:" << queued / live_record_size;
    QByteArray record(live_record_size, '\0');
    DWORD got = 0;
    if (ft_read_wrap(handle, record.data(), live_record_size, &got) != FT_OK) {
        qCritical("Could not read from device");
        return;
    }
    if (got != DWORD(live_record_size)) {
        qCritical("Did not read out the expected number of bytes: exp_bytes=%ld, read bytes=%ld", long(live_record_size),
                  long(got));
        return;
    }
    if (quint8(record[68]) != live_trailer_0 || quint8(record[69]) != live_trailer_1) {
        qWarning("Log message not valid, stopping logging");
        // During the last read of a stop, that stop switches the stream off itself.
        if (is_logging())
            stop_live_logging(true);
        return;
    }
    accept_record(record);
}

bool rv8_worker::poll_queue(DWORD& queued)
{
    if (FT_GetQueueStatus(handle, &queued) != FT_OK) {
        qCritical("Cannot get queue status, disconnecting");
        close();
        return false;
    }
    return true;
}

// True once a whole record is queued; false when it has not come within loop_for_ms waits.
bool rv8_worker::wait_for_record(DWORD& queued, uint loop_for_ms)
{
    if (!poll_queue(queued))
        return false;
    for (uint round = 0; queued < DWORD(live_record_size) && round < loop_for_ms; ++round) {
        QThread::msleep(1);
        if (!poll_queue(queued))
            return false;
    }
    return queued >= DWORD(live_record_size);
}

void rv8_worker::accept_record(const QByteArray& record)
{
    const rv8_frame frame(record);
    log.append(frame);
    newest_stamp = frame.timestamp;
    const bool recording = log_to_file && log_file.isOpen();
    const bool written = recording && write_log_row(frame);
    if (!recording)
        earlier_records.add(frame);
    file_marks.append(written ? 1 : 0);
    emit log_data_ready(frame);
}
