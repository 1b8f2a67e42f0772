// Reading a live-log file back into the log store, and its settings section into the model.

#include "device/log_line_reader.h"
#include "device/log_row_parser.h"
#include "device/rv8.h"
#include "live/rv8_log_batch.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace {

// Rows this far apart or more were not recorded in one stretch.
constexpr qint64 recording_gap_ms = 51;

bool starts_with(std::string_view line, std::string_view prefix)
{
    return line.substr(0, prefix.size()) == prefix;
}

// Stamps come from the file and may be anything; their difference can overflow a signed 64-bit
// integer, but not an unsigned one once the order is known.
bool recording_gap(qint64 earlier, qint64 later)
{
    return later > earlier && quint64(later) - quint64(earlier) >= quint64(recording_gap_ms);
}

} // namespace

void rv8_worker::parse_log_file(QString filename)
{
    if (in_other_thread([=] { parse_log_file(filename); }))
        return;
    if (is_logging()) {
        qCritical("Cannot open log file while actively logging from the unit");
        return;
    }
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qCritical().noquote() << "Could not open file for reading:" << filename;
        return;
    }
    clear_live_logs();
    log_line_reader lines(file);
    const log_row_parser rows;
    rv8_log_batch pending(log, file_marks);
    qint64 last_stamp = 0;
    bool first_row = true;
    std::string_view line;
    while (lines.next(line)) {
        if (line.empty() || line[0] == '#' || starts_with(line, "timestamp"))
            continue;
        if (starts_with(line, "[rv8_vars]")) {
            if (!copy_settings_section(lines, line, filename))
                return;
            continue;
        }
        const rv8_frame frame = rows.frame(line);
        pending.add(frame, !first_row && recording_gap(last_stamp, frame.timestamp));
        last_stamp = frame.timestamp;
        first_row = false;
    }
    pending.flush();
    qDebug().noquote() << "Parsed file" << filename << "with" << log.size() << "lines.";
    emit parsed_log_file();
}

// Copies the section up to "[rv8_log]" into a settings file of its own and loads that; false
// when the copy cannot be made, which ends the parse.
bool rv8_worker::copy_settings_section(log_line_reader& lines, std::string_view first_line, const QString& filename)
{
    QTemporaryFile settings(QDir::tempPath() + QStringLiteral("/brennix_log_settings_XXXXXX.bnini"));
    if (!settings.open()) {
        qCritical().noquote().nospace() << "Could not open tempfile needed to parse log. Log: " << filename
                                        << " tempfile:" << settings.fileName();
        return false;
    }
    std::string_view line = first_line;
    do {
        if (starts_with(line, "[rv8_log]"))
            break;
        settings.write(line.data(), qint64(line.size()));
        settings.write("\r\n", 2);
    } while (lines.next(line));
    settings.close();
    load_settings(settings.fileName(), filename, true);
    return true;
}

void rv8_worker::load_log_settings(const QString& filename)
{
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        emit read_file(FT_OTHER_ERROR, {}, {}, {}, {file.errorString()});
        return;
    }
    log_line_reader lines(file);
    std::string_view line;
    while (lines.next(line))
        if (starts_with(line, "[rv8_vars]") && copy_settings_section(lines, line, filename))
            return;
    emit read_file(FT_OTHER_ERROR, {}, {}, {}, {QStringLiteral("The log's settings could not be read.")});
}
