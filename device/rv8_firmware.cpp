// Firmware programming: restart into the bootloader, stream the image line by line with the
// bootloader's handshake, then ask the new application who it is.

#include "device/fw_lines.h"
#include "device/rv8.h"
#include "model/rv8_vars.h"

#include <QDebug>
#include <QFile>

namespace {

constexpr char xoff = 0x13;
constexpr char ack = 0x06;
constexpr char xon = 0x11;
const char* const programming_failed =
    "Programming failed! Reset the board, check connections/power, and try again.";

// Tracing every byte of a whole image would drown the debug log; it comes back on every exit.
class tracing_off {
public:
    explicit tracing_off(bool& rw_debug) : flag(rw_debug), saved(rw_debug) { flag = false; }
    ~tracing_off() { flag = saved; }

private:
    bool& flag;
    bool saved;
};

} // namespace

void rv8_worker::start_fw_program(QString fw_location)
{
    if (in_other_thread([=] { start_fw_program(fw_location); }))
        return;
    if (is_logging())
        stop_live_logging(false);
    qDebug("Reset into bootloader");
    emit reset_progress(50);
    FT_STATUS status = reset_into_bootloader();
    if (status != FT_OK) {
        // The unit may still run its application; the window shows what answers, if anything.
        if (is_open())
            identify();
        emit fw_programmed(status, is_open() ? fw_version : 0, variant);
        return;
    }
    emit reset_progress(100);
    qDebug("Start fw programming");
    status = program_fw(fw_location);
    // Programmed means the new application answers with its version; silence is a failure.
    const FT_STATUS answered = identify();
    if (status == FT_OK && answered != FT_OK) {
        qCritical("The unit did not answer with its version after programming");
        status = answered;
    }
    if (is_open())
        record_variant();
    emit fw_programmed(status, fw_version, variant);
}

FT_STATUS rv8_worker::program_fw(QString fw_location)
{
    if (!is_open())
        return FT_DEVICE_NOT_OPENED;
    if (fw_location.isEmpty()) {
        qCritical("FW location empty");
        return FT_OTHER_ERROR;
    }
    QFile file(fw_location);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical().noquote() << "Unable to open file" << fw_location << ":" << file.errorString();
        return FT_OTHER_ERROR;
    }
    const QByteArray image = file.readAll();
    tracing_off quiet(rw_debug);
    qDebug("Programming fw...");
    emit fw_progress(0);
    DWORD written = 0;
    char cr = '\r';
    if (ft_write_wrap(handle, &cr, 1, &written) != FT_OK) {
        qCritical("Cannot write \\r to device");
        return FT_IO_ERROR;
    }
    if (written != 1) {
        qCritical("Could not write all data to device");
        return FT_IO_ERROR;
    }
    if (FT_STATUS status = send_fw_lines(image))
        return status;
    return finish_fw();
}

FT_STATUS rv8_worker::send_fw_lines(const QByteArray& image)
{
    const int total = image.count('\n');
    for (const fw_line& line : fw_transfer_lines(image)) {
        if (FT_STATUS status = write_fw_line(line.text)) {
            qCritical("%s", programming_failed);
            return status;
        }
        if (line.number > 0 && line.number % 10 == 0 && total > 0)
            emit fw_progress(int(qMin<qint64>(99, qint64(line.number) * 100 / total))); // 100: the end confirmed
    }
    return FT_OK;
}

FT_STATUS rv8_worker::finish_fw()
{
    QByteArray reply;
    if (FT_STATUS status = wait_then_read(reply, 2)) {
        qCritical("%s", programming_failed);
        return status;
    }
    if (reply[0] != ack) {
        qCritical("First byte was not ACK: 0x%02x", quint8(reply[0]));
        return FT_IO_ERROR;
    }
    if (reply[1] != xon) {
        qCritical("Second byte was not XON: 0x%02x", quint8(reply[1]));
        return FT_IO_ERROR;
    }
    emit fw_progress(100);
    qDebug("Programming completed!");
    QThread::msleep(5);
    return FT_OK;
}

FT_STATUS rv8_worker::write_fw_line(QByteArray line)
{
    if (!is_open())
        return FT_DEVICE_NOT_OPENED;
    FT_STATUS status = FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX);
    if (status != FT_OK) {
        qCritical("Cannot purge Rx/Tx buffers, disconnecting");
        close();
        return status;
    }
    DWORD written = 0;
    status = ft_write_wrap(handle, line.data(), DWORD(line.size()), &written);
    if (status != FT_OK) {
        qCritical().noquote() << "Cannot write msg" << line.left(5).toHex();
        return status;
    }
    if (written < DWORD(line.size())) {
        qCritical("Could not write all data to device. msg length=%d  bytes=%ld", line.size(), long(written));
        return FT_IO_ERROR;
    }
    QByteArray reply;
    if ((status = wait_then_read(reply, 2)))
        return status;
    if (reply[0] != xoff) {
        qCritical("First char not expected: 0x%02x", quint8(reply[0]));
        return FT_IO_ERROR;
    }
    if (reply[1] != ack) {
        qCritical("Second byte was not ACK: 0x%02x", quint8(reply[1]));
        return FT_IO_ERROR;
    }
    if ((status = wait_then_read(reply, 1)))
        return status;
    if (reply[0] != xon) {
        qCritical("Did not receive XON byte from FW: 0x%02x", quint8(reply[0]));
        return FT_IO_ERROR;
    }
    return FT_OK;
}
