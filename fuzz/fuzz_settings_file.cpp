// Settings files arrive from other users and older versions; reading any bytes must stay safe, and
// whatever was read must survive being saved and opened again.

#include "tests/model/model_values.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// A new name each time: QSettings caches parsed files by name.
QString fresh_path()
{
    static int counter = 0;
    static const QString folder = QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath();
    return QString("%1/brennix-fuzz-%2-%3.bnini").arg(folder).arg(getpid()).arg(counter++);
}

// Saves everything in `loaded` and opens it again; only integers beyond the signed range may change.
void check_round_trip(const model_values& loaded)
{
    rv8_vars saved(nullptr);
    for (int i = 0; i < tbl_last; ++i)
        saved.set(loaded.tables[i], table_index(i));
    for (int i = 0; i < int_last; ++i)
        saved.set(loaded.ints[i], int_index(i));
    for (int i = 0; i < trim_last; ++i)
        saved.set(loaded.trims[i], adc_trim_index(i));
    const QString path = fresh_path();
    if (!saved.vars_to_file(path))
        __builtin_trap();
    rv8_vars reopened(nullptr);
    QList<QString> warnings;
    if (!reopened.file_to_vars(path, warnings) || !warnings.isEmpty())
        __builtin_trap();
    const model_values back(reopened);
    if (back.tables != loaded.tables || !(back.trims == loaded.trims))
        __builtin_trap();
    for (int i = 0; i < int_last; ++i) {
        if (loaded.ints[i] <= 0x7FFFFFFFu && back.ints[i] != loaded.ints[i])
            __builtin_trap();
    }
    QFile::remove(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (qInstallMessageHandler(quiet), true);
    Q_UNUSED(installed);

    const QString path = fresh_path();
    {
        QFile f(path);
        if (!f.open(QFile::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    rv8_vars vars(nullptr);
    QList<QString> warnings;
    if (vars.file_to_vars(path, warnings))
        check_round_trip(model_values(vars));
    QFile::remove(path);
    return 0;
}
