#include "live/log_marker.h"

#include <charconv>

namespace {
constexpr std::string_view prefix = "# marker ";
}

QString log_marker::clean_note(const QString& note)
{
    QString clean = note;
    for (QChar& c : clean)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return clean.trimmed();
}

QByteArray log_marker::to_line() const
{
    QByteArray line(prefix.data(), int(prefix.size()));
    line += QByteArray::number(stamp);
    const QString clean = clean_note(note);
    if (!clean.isEmpty())
        line += ' ' + clean.toUtf8();
    line += "\r\n";
    return line;
}

bool log_marker::from_line(std::string_view line, log_marker* out)
{
    if (line.substr(0, prefix.size()) != prefix)
        return false;
    const char* p = line.data() + prefix.size();
    const char* const end = line.data() + line.size();
    qint64 stamp = 0;
    const std::from_chars_result r = std::from_chars(p, end, stamp);
    if (r.ec != std::errc() || (r.ptr != end && *r.ptr != ' '))
        return false;
    out->stamp = stamp;
    out->note = r.ptr == end ? QString() : QString::fromUtf8(r.ptr + 1, int(end - r.ptr - 1)).trimmed();
    return true;
}
