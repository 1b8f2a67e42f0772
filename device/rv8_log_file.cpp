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
    log_to_file = write_log_heads();
}

bool rv8_worker::write_log_heads()
{
    QByteArray text("[rv8_log]\r\n# Vantrel Brennix RV8-SX log ");
    text += log_file.fileName().toLocal8Bit();
    text += "\r\n# Add comments in this log by starting it with a '#' character, like this line";
    return write_to_log_file(text);
}

bool rv8_worker::write_log_row(const rv8_frame& frame)
{
    QByteArray text;
    if (header_pending)
        text = "\r\n" + rv8_frame::csv_header().toLatin1();
    text += frame.to_row().toLatin1();
    if (!write_to_log_file(text))
        return false;
    header_pending = false;
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
