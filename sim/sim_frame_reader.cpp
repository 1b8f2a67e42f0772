#include "sim/sim_frame_reader.h"

namespace {
constexpr char start_byte = char(0xC3);
}

QVector<sim_frame_reader::frame> sim_frame_reader::feed(const QByteArray& bytes, time_point now)
{
    QVector<frame> frames;
    if (bytes.isEmpty())
        return frames;
    if (!pending.isEmpty() && now - last_byte > stale_after)
        pending.clear();
    last_byte = now;
    pending.append(bytes);

    for (;;) {
        const int start = pending.indexOf(start_byte);
        if (start < 0) {
            pending.clear();
            break;
        }
        pending.remove(0, start);
        if (pending.size() < 4)
            break;
        const int length = quint8(pending[2]) << 8 | quint8(pending[3]);
        if (length > max_payload) {
            pending.remove(0, 1);
            continue;
        }
        if (pending.size() < length + 5)
            break;
        quint8 x = 0;
        for (int i = 0; i < length + 4; ++i)
            x ^= quint8(pending[i]);
        if (x == quint8(pending[length + 4]))
            frames.append({quint8(pending[1]), pending.mid(4, length)});
        pending.remove(0, length + 5);
    }
    return frames;
}
