#include "live/dwell_csv.h"

#include <functional>

namespace {
// A text with a comma or a quote in it is quoted, as spreadsheets read it.
QByteArray field(const QString& text)
{
    QByteArray f = text.toUtf8();
    if (f.contains(',') || f.contains('"'))
        f = '"' + f.replace("\"", "\"\"") + '"';
    return f;
}
}

QByteArray dwell_csv(const dwell_map& map, const QStringList& rows, const QStringList& columns, const QString& load_unit)
{
    const struct {
        const char* name;
        std::function<QString(const dwell_cell&)> text;
    } grids[] = {
        {"Time spent (s)", [](const dwell_cell& c) { return QString::number(c.seconds, 'f', 3); }},
        {"Hits", [](const dwell_cell& c) { return QString::number(c.hits); }},
        {"Mean duty (%)", [](const dwell_cell& c) { return QString::number(c.mean_duty(), 'f', 1); }},
    };
    QByteArray out;
    bool first = true;
    for (const auto& g : grids) {
        if (!first)
            out += "\r\n";
        first = false;
        out += field(QStringLiteral("%1: %2 down / RPM across").arg(QLatin1String(g.name), load_unit));
        for (int c = 0; c < dwell_map::size; ++c)
            out += ',' + field(columns.value(c));
        out += "\r\n";
        for (int r = 0; r < dwell_map::size; ++r) {
            out += field(rows.value(r));
            for (int c = 0; c < dwell_map::size; ++c)
                out += ',' + g.text(map.at(r, c)).toLatin1();
            out += "\r\n";
        }
    }
    return out;
}
