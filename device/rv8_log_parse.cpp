// Reading a live-log file back into the log store, and its settings section into the model.
//
// A long drive is a million rows, and opening it feeds the chart and the dwell maps, so the rows of
// each run of lines are read on two threads; everything that depends on order (file marks, the
// settings section, markers, rows only the lenient reader takes) follows in file order on this one.

#include "device/log_block.h"
#include "device/log_line_reader.h"
#include "device/log_row_parser.h"
#include "device/log_settings_copy.h"
#include "device/rv8.h"

#include <QDebug>
#include <QFile>
#include <QSemaphore>
#include <QThreadPool>

#include <cstring>
#include <functional>
#include <memory>

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

QString local_text(std::string_view line)
{
    return QString::fromLocal8Bit(line.data(), int(line.size()));
}

// What the lines of a file mean, taken block by block in file order.
class log_file_reading {
public:
    log_file_reading(rv8_log& log, tsafe_qvector<unsigned int>& marks, const QString& filename,
                     std::function<void(const QString&)> load)
        : log(log), marks(marks), filename(filename), load(std::move(load))
    {
    }

    // False when the parse has to end (no scratch file for the settings). cut: the block's last
    // line is the file's and has no line end.
    bool take(log_block& block, bool cut);
    // A settings section that runs to the end of the file is loaded now.
    void finish();

    QList<log_marker> markers;

private:
    bool other_line(std::string_view line);
    void row_mark(int k, qint64 t);
    void store_run(log_block& block, int end);
    void store_single(const rv8_frame& frame);
    void end_settings();

    rv8_log& log;
    tsafe_qvector<unsigned int>& marks;
    const QString& filename;
    std::function<void(const QString&)> load;
    std::unique_ptr<log_settings_copy> settings;
    std::vector<unsigned int> block_marks;
    int run = 0; // first row of the block not yet stored
    qint64 last_stamp = 0;
    bool first_row = true;
};

bool log_file_reading::take(log_block& block, bool cut)
{
    const int rows = block.rows();
    block_marks.resize(size_t(rows));
    run = 0;
    const bool last_is_row = rows > 0 && (block.others.empty() || block.others.back().rows_before < rows);
    size_t o = 0;
    for (int k = 0; k <= rows; ++k) {
        for (; o < block.others.size() && block.others[o].rows_before == k; ++o) {
            store_run(block, k);
            if (!other_line(block.others[o].line))
                return false;
        }
        if (k == rows)
            break;
        if (settings) {
            store_run(block, k);
            settings->add(block.text[size_t(k)]);
            run = k + 1;
            continue;
        }
        if (!block.ok[size_t(k)]) {
            if (cut && last_is_row && k == rows - 1) {
                // Killed while writing: the row is not whole, and a guess at it would be a sample
                // the unit never sent.
                store_run(block, k);
                qWarning().noquote() << "The last row of" << filename << "ends without a line end and is left out:"
                                     << local_text(block.text[size_t(k)]);
                run = k + 1;
                continue;
            }
            // Rows the program would not have written go the lenient way, which reports a bad one.
            block.set_row(k, rv8_frame(local_text(block.text[size_t(k)])));
        }
        row_mark(k, block.stamps[size_t(k)]);
    }
    store_run(block, rows);
    return true;
}

// A gap before row k unmarks it and the row before it, stored already or not.
void log_file_reading::row_mark(int k, qint64 t)
{
    const bool gap = !first_row && recording_gap(last_stamp, t);
    block_marks[size_t(k)] = gap ? 0 : 1;
    if (gap) {
        if (k > run)
            block_marks[size_t(k - 1)] = 0;
        else
            marks.replace_last(0);
    }
    last_stamp = t;
    first_row = false;
}

// The marks first, then the samples, so the chart never sees a sample without its mark.
void log_file_reading::store_run(log_block& block, int end)
{
    const int n = end - run;
    if (n <= 0)
        return;
    const unsigned int* m = block_marks.data() + run;
    marks.append_each(n, [m](int k) { return m[k]; });
    log.append_columns(n, block.stamps.data() + run, block.columns_from(run));
    run = end;
}

void log_file_reading::store_single(const rv8_frame& frame)
{
    const bool gap = !first_row && recording_gap(last_stamp, frame.timestamp);
    if (gap)
        marks.replace_last(0);
    marks.append(gap ? 0 : 1);
    log.append(frame);
    last_stamp = frame.timestamp;
    first_row = false;
}

bool log_file_reading::other_line(std::string_view line)
{
    if (settings) {
        if (starts_with(line, "[rv8_log]"))
            end_settings();
        else
            settings->add(line);
        return true;
    }
    if (line.empty() || starts_with(line, "timestamp"))
        return true;
    if (line[0] == '#') {
        log_marker m;
        if (log_marker::from_line(line, &m))
            markers << m;
        return true;
    }
    if (starts_with(line, "[rv8_vars]")) {
        settings = std::make_unique<log_settings_copy>();
        if (!settings->begin(filename))
            return false;
        settings->add(line);
        return true;
    }
    // Any other section head is a row to the reader, and a bad one.
    store_single(rv8_frame(local_text(line)));
    return true;
}

void log_file_reading::end_settings()
{
    load(settings->finish());
    settings.reset();
}

void log_file_reading::finish()
{
    if (settings)
        end_settings();
}

// The second half of a run begins after the line end nearest past its middle.
size_t middle_of(std::string_view text)
{
    if (text.size() < 2)
        return text.size();
    const void* nl = std::memchr(text.data() + text.size() / 2, '\n', text.size() - text.size() / 2);
    return nl ? size_t(static_cast<const char*>(nl) - text.data()) + 1 : text.size();
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
    const log_row_parser parser;
    log_file_reading reading(log, file_marks, filename,
                             [this, &filename](const QString& path) { load_settings(path, filename, true); });
    QThreadPool helper;
    helper.setMaxThreadCount(1);
    log_block halves[2];
    std::string_view text;
    while (lines.next_lines(text)) {
        const bool cut = !lines.ended_with_newline();
        const size_t split = middle_of(text);
        const std::string_view second = text.substr(split);
        QSemaphore second_read;
        helper.start([&] {
            halves[1].read(second, parser);
            second_read.release();
        });
        halves[0].read(text.substr(0, split), parser);
        second_read.acquire();
        if (!reading.take(halves[0], cut && second.empty()) || !reading.take(halves[1], cut))
            return;
    }
    reading.finish();
    emit markers_read(reading.markers);
    qDebug().noquote() << "Parsed file" << filename << "with" << log.size() << "lines.";
    emit parsed_log_file();
}

// Copies the section up to "[rv8_log]" into a settings file of its own and loads that; false
// when the copy cannot be made.
bool rv8_worker::copy_settings_section(log_line_reader& lines, std::string_view first_line, const QString& filename)
{
    log_settings_copy copy;
    if (!copy.begin(filename))
        return false;
    std::string_view line = first_line;
    do {
        if (starts_with(line, "[rv8_log]"))
            break;
        copy.add(line);
    } while (lines.next(line));
    load_settings(copy.finish(), filename, true);
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
