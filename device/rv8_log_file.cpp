// Writing live samples to a live-log file, behind a snapshot of the settings that produced them.
//
// A user recording a run trusts that it is being saved, so every failure to start the file and
// every failed write is reported through log_file_failed; after a failed write the file is closed
// and live logging carries on without it.

#include "device/rv8.h"
#include "device/write_failure.h"
#include "model/rv8_vars.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

void rv8_worker::set_log_file(QString filename)
{
    if (in_other_thread([=] { set_log_file(filename); }))
        return;
    const bool recording = log_to_file && log_file.isOpen();
    close_log_file();
    log_file.setFileName(filename);
    // A new name while recording moves the recording into the new file, with its own settings and
    // heads; the samples meanwhile must not be counted as written into a file that was closed.
    if (recording) {
        log_to_file = false;
        enable_log_to_file(true);
    }
}

void rv8_worker::enable_log_to_file(bool enable)
{
    if (in_other_thread([=] { enable_log_to_file(enable); }))
        return;
    if (!enable) {
        log_to_file = false;
        close_log_file();
        return;
    }
    if (log_file.isOpen()) {
        log_to_file = true;
        return;
    }
    const QString name = log_file.fileName();
    qDebug().noquote() << "Writing live log to:" << name;
    // The settings snapshot rewrites the whole file: an earlier recording of the same name would be
    // lost with every row in it.
    if (QFileInfo(name).size() > 0) {
        qCritical().noquote() << "Live log file already holds data, not overwriting:" << name;
        log_to_file = false;
        emit log_file_failed(name, QStringLiteral("The file already holds data; it was left as it was."));
        return;
    }
    if (name.isEmpty() || !vars->vars_to_file(name)) {
        qCritical().noquote() << "Could not open file for writing:" << name;
        log_to_file = false;
        emit log_file_failed(name, write_failure(name));
        return;
    }
    if (!log_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCritical().noquote() << "Could not open file for writing:" << name;
        log_to_file = false;
        emit log_file_failed(name, write_failure(name, log_file.errorString()));
        return;
    }
    header_pending = true;
    file_rows = 0;
    log_to_file = write_log_heads();
    int earlier = 0;
    if (log_to_file && write_earlier_records(&earlier))
        emit log_file_started(name, earlier);
}

void rv8_worker::start_log_at(qint64 start)
{
    if (in_other_thread([=] { start_log_at(start); }))
        return;
    start_stamp = start;
    enable_log_to_file(true);
    start_stamp = -1;
}

void rv8_worker::set_pre_trigger(double seconds)
{
    if (in_other_thread([=] { set_pre_trigger(seconds); }))
        return;
    earlier_records.set_seconds(seconds);
    if (earlier_records.seconds() <= 0)
        waiting_markers.clear();
}

// The records kept from before the start, as rows in their order, each followed by the markers
// placed at it; their samples are then marked as written where the store still holds them.
bool rv8_worker::write_earlier_records(int* written)
{
    const std::vector<rv8_frame> earlier =
        start_stamp >= 0 ? earlier_records.take_before(start_stamp) : earlier_records.take();
    QList<log_marker> markers = waiting_markers;
    waiting_markers.clear();
    *written = int(earlier.size());
    if (earlier.empty())
        return true;
    std::stable_sort(markers.begin(), markers.end(),
                     [](const log_marker& a, const log_marker& b) { return a.stamp < b.stamp; });
    QByteArray text = header_if_pending();
    text.reserve(text.size() + int(earlier.size()) * 200);
    int m = 0;
    // A marker whose record is no longer kept has nothing left to mark.
    while (m < markers.size() && markers[m].stamp < earlier.front().timestamp)
        ++m;
    for (size_t i = 0; i < earlier.size(); ++i) {
        text += earlier[i].to_row().toLatin1();
        const bool last = i + 1 == earlier.size();
        while (m < markers.size() && (last || markers[m].stamp < earlier[i + 1].timestamp))
            text += markers[m++].to_line();
    }
    if (!write_to_log_file(text))
        return false;
    header_pending = false;
    file_rows += qint64(earlier.size());
    const int stored = log.size();
    const int k = int(earlier.size());
    for (int i = 0; i < k; ++i) {
        const int p = stored - k + i;
        if (p >= 0 && log.const_timestamps().value(p) == earlier[size_t(i)].timestamp)
            file_marks.replace(p, 1);
    }
    return true;
}

void rv8_worker::add_log_marker(qint64 stamp, QString note)
{
    if (in_other_thread([=] { add_log_marker(stamp, note); }))
        return;
    if (stamp < 0)
        stamp = newest_stamp;
    if (stamp < 0) {
        qWarning("No record to place a marker at");
        return;
    }
    log_marker marker;
    marker.stamp = stamp;
    marker.note = log_marker::clean_note(note);
    qDebug().noquote() << "Marker at" << stamp << marker.note;
    if (log_to_file && log_file.isOpen()) {
        const bool written = write_to_log_file(header_if_pending() + marker.to_line());
        if (written)
            header_pending = false;
        emit marker_added(marker, written);
        return;
    }
    if (earlier_records.seconds() > 0) {
        const double oldest = double(newest_stamp) - earlier_records.seconds() * 1000.0;
        waiting_markers.erase(std::remove_if(waiting_markers.begin(), waiting_markers.end(),
                                             [oldest](const log_marker& m) { return double(m.stamp) < oldest; }),
                              waiting_markers.end());
        waiting_markers << marker;
    }
    emit marker_added(marker, false);
}

bool rv8_worker::write_log_heads()
{
    QByteArray text("[rv8_log]\r\n# Vantrel Brennix RV8-SX log ");
    text += log_file.fileName().toLocal8Bit();
    text += "\r\n# Add comments in this log by starting it with a '#' character, like this line";
    return write_to_log_file(text);
}

// The line end the heads leave open and the column header, before the first row or marker.
QByteArray rv8_worker::header_if_pending()
{
    return header_pending ? "\r\n" + rv8_frame::csv_header().toLatin1() : QByteArray();
}

bool rv8_worker::write_log_row(const rv8_frame& frame)
{
    QByteArray text = header_if_pending();
    text += frame.to_row().toLatin1();
    if (!write_to_log_file(text))
        return false;
    header_pending = false;
    ++file_rows;
    return true;
}

// Flushed every time, so that a sample counts as written only once it has reached the file.
bool rv8_worker::write_to_log_file(const QByteArray& text)
{
    errno = 0;
    if (log_file.write(text) == text.size() && log_file.flush())
        return true;
    // A write cut short by a full disk or a size limit leaves QFile without a text of its own.
    log_file_failure(errno != 0 ? qt_error_string(errno) : log_file.errorString());
    return false;
}

void rv8_worker::close_log_file()
{
    if (!log_file.isOpen())
        return;
    log_file.close();
    emit log_file_closed(log_file.fileName());
}

void rv8_worker::log_file_failure(const QString& reason)
{
    const QString name = log_file.fileName();
    qCritical().noquote() << "Could not write to live log file:" << name << reason;
    log_to_file = false;
    log_file.close();
    emit log_file_failed(name, write_failure(name, reason));
}
