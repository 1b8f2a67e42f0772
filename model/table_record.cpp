#include "model/table_record.h"

const QVector<table_record::field>& table_record::fields()
{
    static const QVector<field> all{
        {"minimum duty", 609, 2, kind::percent, true},
        {"under-current limit", 613, 2, kind::amps, true},
        {"over-current limit", 615, 2, kind::amps, true},
        {"time delay", 617, 4, kind::loops, true},
        {"activation delay", 609, 2, kind::ticks, false},
        {"deactivation delay", 611, 2, kind::ticks, false},
        {"vertical threshold", 630, 2, kind::vertical, true},
        {"vertical threshold", 630, 2, kind::vertical, false},
        {"horizontal threshold", 632, 2, kind::rpm, true},
        {"horizontal threshold", 632, 2, kind::rpm, false},
    };
    return all;
}

QVector<table_record::field> table_record::fields_of(table_index i)
{
    const bool pump = i == tbl_aux || i == tbl_main;
    QVector<field> out;
    for (const field& f : fields())
        if (f.pump == pump)
            out.append(f);
    return out;
}

QString table_record::fault() const
{
    if (data.size() != size)
        return QStringLiteral("%1 bytes, a table has %2").arg(data.size()).arg(size);
    const quint8 sum = checksum_of(data.left(size - 1));
    if (sum != quint8(data[size - 1]))
        return QStringLiteral("checksum 0x%1 does not match its bytes (0x%2)")
            .arg(quint8(data[size - 1]), 2, 16, QLatin1Char('0'))
            .arg(sum, 2, 16, QLatin1Char('0'));
    return {};
}

quint32 table_record::value(const field& f) const
{
    if (f.width == 4)
        return quint32(word(f.offset)) << 16 | word(f.offset + 2);
    // Counts and thresholds are 10-bit, the rest whole words.
    return f.what == kind::percent || f.what == kind::amps || f.what == kind::vertical ? ten_bits(f.offset)
                                                                                        : word(f.offset);
}

quint16 table_record::word(int offset) const
{
    if (offset < 0 || offset + 1 >= data.size())
        return 0;
    return quint16(quint8(data[offset]) << 8 | quint8(data[offset + 1]));
}

quint8 table_record::checksum_of(const QByteArray& bytes)
{
    quint8 sum = 0;
    for (char c : bytes)
        sum ^= quint8(c);
    return sum;
}
