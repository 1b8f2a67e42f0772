// Opens a generated live-log file of a million rows with parse_log_file and, on the same file in
// the same run, times pandas' read_csv (C engine) through bench_parse_log_pandas.py. One JSON object:
//   {"bench":"parse_log","rows":...,"file_bytes":...,"seconds":...,"rows_per_s":...,"mb_per_s":...,
//    "peak_bytes_per_sample":...,"pandas_seconds":...,"speedup_vs_pandas":...}
// and then the dwell maps of the four duty tables over the same million samples, as the window
// counts them when the log is opened:
//   {"bench":"dwell_map","rows":...,"tables":4,"seconds":...,"target_seconds":0.3}
// Times are the best of three runs each. Peak memory is the high-water mark of the process during
// the first parse, less what it held before; it includes the time index and the file marks.
// Usage: bench_parse_log [rows]

#include "device/rv8.h"
#include "live/dwell_map.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <charconv>
#include <limits>
#include <cstdio>
#include <random>

namespace {

constexpr int runs = 3;

long status_kib(const char* key)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Starts the high-water mark afresh at the current resident size.
void reset_peak()
{
    QFile clear_refs("/proc/self/clear_refs");
    if (clear_refs.open(QIODevice::WriteOnly))
        clear_refs.write("5");
}

void put(QByteArray& out, quint64 v)
{
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    out.append(digits, int(r.ptr - digits));
}

// A drive's worth of plausible values: ADC counts, RPM, duties and wide PID terms.
void write_rows(QFile& file, int rows)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<quint32> adc(0, 1023), rpm(700, 7500), wide(0, 0xFFFFFFFFu), bit(0, 1);
    QByteArray out;
    out.reserve(1 << 20);
    const qint64 start = 1765000000000;
    for (int i = 0; i < rows; ++i) {
        put(out, quint64(start + qint64(i) * 13 + (i % 7 == 0 ? 1 : 0)));
        for (int e = 0; e < rv8_frame::value_count; ++e) {
            out.append(',');
            const quint32 v = e == rv8_log::e_rpm                           ? rpm(rng)
                              : e >= rv8_log::e_pterm && e <= rv8_log::e_istate ? wide(rng)
                              : e == rv8_log::e_gpi1_state                ? bit(rng)
                                                                          : adc(rng);
            put(out, v);
        }
        out.append("\r\n");
        if (out.size() > (1 << 20) - 512) {
            file.write(out);
            out.clear();
        }
    }
    file.write(out);
}

// Returns the number of lines before the column header, which pandas is told to skip.
int generate(const QString& path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    const QByteArray heads = "[rv8_vars]\r\nints\\14\\Main%20mode=1\r\nints\\size=14\r\n\r\n[rv8_log]\r\n"
                             "# Vantrel Brennix RV8-SX log " + path.toLocal8Bit() +
                             "\r\n# Add comments in this log by starting it with a '#' character, like this line\r\n";
    file.write(heads);
    file.write(rv8_frame::csv_header().toLatin1());
    write_rows(file, rows);
    return heads.count('\n');
}

double parse_seconds(rv8_worker& worker, const QString& path, int rows)
{
    QElapsedTimer timer;
    timer.start();
    worker.parse_log_file(path);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (worker.get_timestamps().size() != rows)
        qFatal("parsed %d rows of %d", worker.get_timestamps().size(), rows);
    return seconds;
}

QJsonObject run_pandas(const QString& path, int skip)
{
    const QString python = QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    QProcess p;
    p.start(python, {QStringLiteral(BENCH_SOURCE_DIR "/bench_parse_log_pandas.py"), path, QString::number(skip),
                     QString::number(runs)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return QJsonObject{{"error", QString::fromLocal8Bit(p.readAllStandardError()).trimmed()}};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The four tables as the window sets them up by default: engine speed to 8000 across, MAP from 0 to
// 30 PSI down (MAIN, AUX) or an analog input in volts (GPO1, GPO2).
double dwell_seconds(const rv8_log& log)
{
    std::vector<dwell_map> maps;
    const int loads[] = {rv8_log::e_map_adc, rv8_log::e_map_adc, rv8_log::e_an1_adc, rv8_log::e_an2_adc};
    const int duties[] = {rv8_log::e_main_duty, rv8_log::e_aux_duty, rv8_log::e_gpo1_duty, rv8_log::e_gpo2_duty};
    for (int t = 0; t < 4; ++t) {
        dwell_axes axes;
        dwell_source source;
        for (int i = 0; i < dwell_axes::size; ++i) {
            axes.rpm[size_t(i)] = i == 0 ? 0 : 1000 + 500 * (i - 1);
            axes.load[size_t(i)] = t < 2 ? 2.0 * i : i / 3.0;
        }
        source.load_column = loads[t];
        source.duty_column = duties[t];
        source.current_column = t == 0 ? rv8_log::e_main_current : t == 1 ? rv8_log::e_aux_current : -1;
        for (int c = 0; c <= 1023; ++c)
            source.load_of_counts.push_back(t < 2 ? (c - 222.312) / 16.122 : c / 204.6);
        maps.emplace_back(axes, source);
    }
    std::vector<dwell_map*> all;
    for (dwell_map& m : maps)
        all.push_back(&m);
    QElapsedTimer timer;
    timer.start();
    dwell_map::add_rows(all, log, 0, log.size(), std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (maps[0].samples() != quint64(log.size()))
        qFatal("counted %llu samples of %d", maps[0].samples(), log.size());
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.bnlog");
    const int skip = generate(path, rows);
    const qint64 bytes = QFileInfo(path).size();

    rv8_worker worker;
    reset_peak();
    const long before_kib = status_kib("VmRSS:");
    double best = parse_seconds(worker, path, rows);
    const long peak_kib = status_kib("VmHWM:");
    for (int k = 1; k < runs; ++k)
        best = std::min(best, parse_seconds(worker, path, rows));

    const QJsonObject pandas = run_pandas(path, skip);
    const double pandas_seconds = pandas.value("seconds").toDouble(-1);
    QJsonObject out{{"bench", "parse_log"},
                    {"rows", rows},
                    {"file_bytes", bytes},
                    {"seconds", best},
                    {"rows_per_s", rows / best},
                    {"mb_per_s", bytes / best / 1e6},
                    {"peak_bytes_per_sample", double(peak_kib - before_kib) * 1024.0 / rows},
                    {"target_bytes_per_sample", 141},
                    {"pandas_seconds", pandas_seconds},
                    {"pandas_rows", pandas.value("rows")},
                    {"speedup_vs_pandas", pandas_seconds > 0 ? pandas_seconds / best : -1},
                    {"target_speedup", 4}};
    if (pandas.contains("error"))
        out.insert("pandas_error", pandas.value("error"));
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());

    double dwell = dwell_seconds(worker.get_log());
    for (int k = 1; k < runs; ++k)
        dwell = std::min(dwell, dwell_seconds(worker.get_log()));
    const QJsonObject map{{"bench", "dwell_map"}, {"rows", rows}, {"tables", 4}, {"seconds", dwell}, {"target_seconds", 0.3}};
    std::printf("%s\n", QJsonDocument(map).toJson(QJsonDocument::Compact).constData());
    return 0;
}
