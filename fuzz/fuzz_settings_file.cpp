// Settings files arrive from other users and older versions; reading any bytes must stay safe.

#include "model/rv8_vars.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int counter = 0;
    static const bool installed = (qInstallMessageHandler(quiet), true);
    Q_UNUSED(installed);

    // A new name each time: QSettings caches parsed files by name.
    static const QString folder = QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath();
    const QString path = QString("%1/brennix-fuzz-%2-%3.bnini").arg(folder).arg(getpid()).arg(counter++);
    {
        QFile f(path);
        if (!f.open(QFile::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    rv8_vars vars(nullptr);
    QList<QString> warnings;
    if (vars.file_to_vars(path, warnings)) {
        QList<QByteArray> tables;
        QList<unsigned int> ints;
        QList<adc_trim> trims;
        vars.get(tables, ints, trims);
        if (tables.size() != tbl_last || ints.size() != int_last || trims.size() != trim_last)
            __builtin_trap();
    }
    QFile::remove(path);
    return 0;
}
