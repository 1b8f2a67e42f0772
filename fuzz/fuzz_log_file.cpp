// A live-log file is opened as a whole: settings section, comments, header and rows. Whatever the
// bytes, the parse must end, store as many file marks as samples, and break the marks exactly
// where two neighbouring rows are 51 ms or more apart.

#include "device/rv8.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

bool gap(qint64 earlier, qint64 later)
{
    return later > earlier && quint64(later) - quint64(earlier) >= 51;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The settings section goes through a temporary file; keep those off the disk.
    if (QDir("/dev/shm").exists())
        qputenv("TMPDIR", "/dev/shm");
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    register_model_meta_types();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static rv8_worker worker;
    static int parsed = 0;
    static const QString path = QString("%1/brennix-fuzz-log-%2.bnlog").arg(QDir::tempPath()).arg(getpid());
    static const bool counted =
        (QObject::connect(&worker, &rv8_worker::parsed_log_file, [] { ++parsed; }), true);
    Q_UNUSED(counted);
    {
        QFile f(path);
        if (!f.open(QFile::WriteOnly | QFile::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const int before = parsed;
    worker.parse_log_file(path);
    if (parsed != before + 1)
        __builtin_trap();
    const tsafe_qvector<qint64>& stamps = worker.get_timestamps();
    const tsafe_qvector<unsigned int>& marks = worker.get_file_marks();
    const int n = stamps.size();
    if (marks.size() != n || worker.get_data(rv8_log::e_result).size() != n)
        __builtin_trap();
    for (int i = 0; i < n; ++i) {
        const bool broken = (i > 0 && gap(stamps.value(i - 1), stamps.value(i)))
                            || (i + 1 < n && gap(stamps.value(i), stamps.value(i + 1)));
        if (marks.value(i) != (broken ? 0u : 1u))
            __builtin_trap();
    }
    return 0;
}
