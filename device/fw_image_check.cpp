#include "device/fw_image_check.h"

#include <QFile>
#include <QFileInfo>

#include <cctype>

namespace {

constexpr int max_line = 63; // the transfer cuts every line here
constexpr int max_record_type = 5;

fw_image_report bad(int line, const QString& why)
{
    return {false, line, line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(why) : why};
}

QString hex2(int value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QByteArray right_trimmed(const QByteArray& line)
{
    int end = line.size();
    while (end > 0 && std::isspace(quint8(line[end - 1])))
        --end;
    return line.left(end);
}

template <typename F>
void for_each_line(const QByteArray& data, F&& f)
{
    int n = 0;
    for (int at = 0; at < data.size();) {
        int stop = data.indexOf('\n', at);
        if (stop < 0)
            stop = data.size();
        QByteArray line = data.mid(at, stop - at);
        at = stop + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (!f(++n, line))
            return;
    }
}

// Why a ':' line is not a record the bootloader takes; empty when it is one. Fills the record bytes.
QString record_fault(const QByteArray& text, QByteArray* record)
{
    const QByteArray digits = text.mid(1);
    for (int i = 0; i < digits.size(); ++i)
        if (!std::isxdigit(quint8(digits[i])))
            return QStringLiteral("not an Intel HEX record: '%1' at column %2 is not a hex digit")
                .arg(QChar(quint8(digits[i])))
                .arg(i + 2);
    if (digits.size() < 10 || digits.size() % 2)
        return QStringLiteral("not an Intel HEX record: %1 hex digits, a record has an even number and at least 10")
            .arg(digits.size());
    *record = QByteArray::fromHex(digits);
    const int count = quint8(record->at(0));
    if (record->size() != count + 5)
        return QStringLiteral("not an Intel HEX record: it says %1 data bytes but holds %2")
            .arg(count)
            .arg(record->size() - 5);
    quint8 sum = 0;
    for (int i = 0; i + 1 < record->size(); ++i)
        sum += quint8(record->at(i));
    const int expected = quint8(-sum);
    const int stated = quint8(record->back());
    if (expected != stated)
        return QStringLiteral("checksum is %1, the record says %2").arg(hex2(expected), hex2(stated));
    const int type = quint8(record->at(3));
    if (type > max_record_type)
        return QStringLiteral("record type %1 is not supported (the bootloader takes 00 to 05)")
            .arg(type, 2, 16, QLatin1Char('0'));
    return {};
}

} // namespace

fw_image_report check_fw_image_data(const QByteArray& data, const QString& file_name)
{
    if (!file_name.isEmpty() && !QFileInfo(file_name).fileName().contains(QLatin1String("MAVO")))
        return bad(0, QStringLiteral("the file name has no \"MAVO\": not an RV8 firmware image"));
    fw_image_report report{true, 0, {}};
    int records = 0;
    int end_line = 0;
    bool bar_lines = false;
    for_each_line(data, [&](int n, const QByteArray& line) {
        if (!line.startsWith(':') && !line.startsWith('|')) {
            const QByteArray t = line.trimmed();
            if (t.startsWith(':') || t.startsWith('|'))
                report = bad(n, QStringLiteral("begins with white space, so the transfer would skip this record"));
            return report.ok;
        }
        const QByteArray text = right_trimmed(line);
        if (text.size() > max_line)
            report = bad(n, QStringLiteral("%1 characters, the transfer passes on only %2").arg(text.size()).arg(max_line));
        else if (end_line)
            report = bad(n, QStringLiteral("a record after the end record of line %1").arg(end_line));
        if (!report.ok)
            return false;
        ++records;
        if (text.startsWith('|')) {
            bar_lines = true;
            return true;
        }
        QByteArray record;
        const QString fault = record_fault(text, &record);
        if (!fault.isEmpty()) {
            report = bad(n, fault);
            return false;
        }
        if (quint8(record[3]) == 1)
            end_line = n;
        return true;
    });
    if (!report.ok)
        return report;
    if (records == 0)
        return bad(0, QStringLiteral("no firmware records (lines beginning with ':' or '|')"));
    // '|' lines are the bootloader's own business; only plain records can be read through.
    if (bar_lines)
        return report;
    if (!end_line)
        return bad(0, QStringLiteral("no end record (:00000001FF): the unit would stay in its bootloader"));
    if (!fw_image_version(data))
        return bad(0, QStringLiteral("no \"MAVO\" version text followed by four hex digits in the image's data"));
    return report;
}

fw_image_report check_fw_image(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return bad(0, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return check_fw_image_data(file.readAll(), path);
}

std::optional<quint16> fw_image_version(const QByteArray& data)
{
    QByteArray image;
    for_each_line(data, [&](int, const QByteArray& line) {
        QByteArray record;
        if (line.startsWith(':') && record_fault(right_trimmed(line), &record).isEmpty() && record.at(3) == 0)
            image += record.mid(4, quint8(record[0]));
        return true;
    });
    const int tag = image.indexOf("MAVO");
    if (tag < 0 || tag + 8 > image.size())
        return std::nullopt;
    const QByteArray digits = image.mid(tag + 4, 4);
    for (char c : digits)
        if (!std::isxdigit(quint8(c)))
            return std::nullopt;
    return quint16(digits.toUInt(nullptr, 16));
}
