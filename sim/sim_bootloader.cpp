#include "sim/sim_bootloader.h"

#include "sim/sim_faults.h"

#include <cctype>

void sim_bootloader::restart()
{
    line.clear();
    overflow = false;
    image.clear();
    accepted = 0;
    received = 0;
}

sim_bootloader::outcome sim_bootloader::feed(const QByteArray& bytes, sim_faults& faults, int flash_write_ms)
{
    outcome out;
    for (char c : bytes) {
        if (c != '\r') {
            // A record mark starts a line afresh, so stray bytes (an application request sent to
            // the bootloader) cannot spoil the record behind them.
            if ((c == ':' && line != "|") || c == '|') {
                line.clear();
                overflow = false;
            }
            if (line.size() < max_line)
                line.append(c);
            else
                overflow = true;
            continue;
        }
        const QByteArray text = line.trimmed();
        const bool noise = overflow;
        line.clear();
        overflow = false;
        const bool firmware = text.startsWith(':') || text.startsWith('|');
        if (!firmware || noise)
            continue;
        ++received;
        const bool had_data = !image.isEmpty();
        verdict v = judge(text);
        if (faults.refuse_hex_line > 0 && received == faults.refuse_hex_line) {
            faults.refuse_hex_line = 0;
            v = verdict::refused;
        }
        if (v == verdict::refused) {
            out.replies.append({0, QByteArray() + xoff + nak});
            image.clear();
            accepted = 0;
            received = 0;
            continue;
        }
        ++accepted;
        out.erased |= !had_data && !image.isEmpty();
        out.replies.append({0, QByteArray() + xoff + ack});
        out.replies.append({flash_write_ms, QByteArray(1, xon)});
        if (v == verdict::end_of_file) {
            out.replies.append({flash_write_ms, QByteArray() + ack + xon});
            out.finished = true;
            out.version = image_version();
            image.clear();
            accepted = 0;
            received = 0;
        }
    }
    return out;
}

sim_bootloader::verdict sim_bootloader::judge(const QByteArray& text)
{
    QByteArray digits = text.mid(1);
    if (text.startsWith('|') && digits.startsWith(':'))
        digits.remove(0, 1);
    if (digits.isEmpty() || digits.size() % 2)
        return verdict::refused;
    for (char c : digits)
        if (!isxdigit(quint8(c)))
            return verdict::refused;
    const QByteArray record = QByteArray::fromHex(digits);
    if (record.size() < 5 || record.size() != quint8(record[0]) + 5)
        return verdict::refused;
    quint8 sum = 0;
    for (char c : record)
        sum += quint8(c);
    const quint8 type = quint8(record[3]);
    if (sum != 0 || type > 5)
        return verdict::refused;
    if (type == 0)
        image.append(record.mid(4, quint8(record[0])));
    return type == 1 ? verdict::end_of_file : verdict::accepted;
}

std::optional<quint16> sim_bootloader::image_version() const
{
    const int tag = image.indexOf("MAVO");
    if (tag < 0 || tag + 8 > image.size())
        return std::nullopt;
    const QByteArray digits = image.mid(tag + 4, 4);
    for (char c : digits)
        if (!isxdigit(quint8(c)))
            return std::nullopt;
    return quint16(digits.toUInt(nullptr, 16));
}
