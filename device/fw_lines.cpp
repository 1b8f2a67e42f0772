#include "device/fw_lines.h"

namespace {
constexpr int max_line = 63;
const QByteArray extended_address(":020000040000FA");
}

QVector<fw_line> fw_transfer_lines(const QByteArray& image)
{
    QVector<fw_line> lines;
    int n = 0;
    for (int at = 0; at < image.size();) {
        int stop = image.indexOf('\n', at);
        if (stop < 0)
            stop = image.size();
        QByteArray line = image.mid(at, stop - at);
        at = stop + 1;
        ++n;
        if (line.endsWith('\r'))
            line.chop(1);
        line.truncate(max_line);
        if (!line.startsWith(':') && !line.startsWith('|'))
            continue;
        line = line.trimmed() + '\r';
        if (lines.isEmpty() && line.startsWith(':') && !line.startsWith(extended_address))
            lines.append({extended_address + '\r', 0});
        lines.append({line, n});
    }
    return lines;
}
