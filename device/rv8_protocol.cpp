#include "device/rv8_protocol.h"

namespace rv8_protocol {

quint8 xor_of(const char* data, int length)
{
    quint8 x = 0;
    for (int i = 0; i < length; ++i)
        x ^= quint8(data[i]);
    return x;
}

QByteArray build_frame(rv8_msg_type type, const QByteArray& payload)
{
    const int n = payload.size();
    QByteArray f;
    f.reserve(n + 5);
    f.append(char(start_byte));
    f.append(char(type));
    f.append(char((n >> 8) & 0xFF));
    f.append(char(n & 0xFF));
    f.append(payload);
    f.append(char(xor_of(f.constData(), f.size())));
    return f;
}

QByteArray frame(const char* hex_text)
{
    return QByteArray::fromHex(hex_text);
}

QByteArray table_read_frame(int table)
{
    QByteArray f = frame(frame_read_aux_table);
    f[4] = char(quint8(f[4]) + table);
    f[5] = char(xor_of(f.constData(), 5));
    return f;
}

QByteArray reply_header(rv8_msg_type type)
{
    QByteArray h;
    h.append(char(reply_start));
    h.append(char(type));
    h.append(char(quint8(~quint8(type))));
    return h;
}

} // namespace rv8_protocol
