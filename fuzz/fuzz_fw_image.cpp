// Firmware images come from outside. The transfer's line reading must handle any bytes, send
// only lines the bootloader can frame, and whatever the pre-flash check passes must go through
// the bootloader line by line and start the version the check read from it.

#include "device/fw_image_check.h"
#include "device/fw_lines.h"
#include "sim/sim_bootloader.h"
#include "sim/sim_faults.h"

#include <cstdint>

namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (qInstallMessageHandler(quiet), true);
    Q_UNUSED(installed);
    const QByteArray image(reinterpret_cast<const char*>(data), int(size));

    const QVector<fw_line> lines = fw_transfer_lines(image);
    const int total_lines = image.count('\n') + 1;
    int previous = 0;
    for (int k = 0; k < lines.size(); ++k) {
        const fw_line& l = lines[k];
        const QByteArray body = l.text.chopped(1);
        if (!l.text.endsWith('\r') || body.size() > 63 || body.contains('\n') || body != body.trimmed()
            || !(body.startsWith(':') || body.startsWith('|')))
            __builtin_trap();
        // Only the extended address record goes ahead, and only of a first ':' record.
        if (l.number == 0 && (k != 0 || body != ":020000040000FA" || lines.size() < 2 || !lines[1].text.startsWith(':')))
            __builtin_trap();
        if (l.number != 0 && (l.number <= previous || l.number > total_lines))
            __builtin_trap();
        previous = l.number;
    }

    const fw_image_report report = check_fw_image_data(image, QStringLiteral("RV8_MAVO_0180.hex"));
    if (report.ok != report.reason.isEmpty() || report.line < 0 || report.line > total_lines)
        __builtin_trap();
    if (!report.ok)
        return 0;
    // '|' lines are passed through for the bootloader to judge; the check leaves them alone.
    for (const fw_line& l : lines)
        if (l.text.startsWith('|'))
            return 0;
    sim_bootloader loader;
    sim_faults faults;
    loader.restart();
    loader.feed("\r", faults, 0);
    for (int k = 0; k < lines.size(); ++k) {
        const sim_bootloader::outcome out = loader.feed(lines[k].text, faults, 0);
        QByteArray replies;
        for (const auto& r : out.replies)
            replies += r.bytes;
        const bool last = k + 1 == lines.size();
        if (replies != (last ? QByteArray("\x13\x06\x11\x06\x11") : QByteArray("\x13\x06\x11")) || out.finished != last)
            __builtin_trap();
        if (last && out.version != fw_image_version(image))
            __builtin_trap();
    }
    return 0;
}
