// Rows of live-log files are edited by hand. Any text must parse safely, and a row that parses
// must come back unchanged through its own text form.

#include "live/rv8_frame.h"

#include <cstdint>

namespace {

int complaints = 0;

void count(QtMsgType type, const QMessageLogContext&, const QString&)
{
    if (type == QtCriticalMsg)
        ++complaints;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (qInstallMessageHandler(count), true);
    Q_UNUSED(installed);

    const QString row = QString::fromLatin1(reinterpret_cast<const char*>(data), int(size));
    complaints = 0;
    const rv8_frame frame(row);
    if (complaints > 1)
        __builtin_trap();
    if (complaints == 1) {
        if (frame != rv8_frame())
            __builtin_trap();
        return 0;
    }
    const rv8_frame again(frame.to_row());
    if (complaints != 0 || again != frame)
        __builtin_trap();
    return 0;
}
