#include "cli/settings_diff.h"

#include "model/conv.h"
#include "model/param_units.h"
#include "model/table_record.h"

#include <QJsonObject>

namespace {

using field = table_record::field;
using kind = table_record::kind;

QString hex_bytes(const QByteArray& bytes, int from, int to)
{
    return QString::fromLatin1(bytes.mid(from, to - from).toHex());
}

QString source_name(quint8 code)
{
    switch (code) {
    case 0xA1: return QStringLiteral("MAP Sensor");
    case 0xA2: return QStringLiteral("Analog Input A (0-5V)");
    case 0xA3: return QStringLiteral("Analog Input B (0-5V)");
    default: return QStringLiteral("code 0x%1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

// A load value (breakpoint or threshold) in the unit its table's source gives it.
QString load_text(quint16 counts, quint8 source, const converter& conv)
{
    if (source == 0xA2 || source == 0xA3)
        return QString::number(counts / 204.6, 'f', 2) + QStringLiteral(" V");
    return QString::number(conv.adc2boost(counts), 'f', 1) + QLatin1Char(' ') + conv.boost_unit_name();
}

QString field_text(const field& f, quint32 raw, quint8 source, const converter& conv)
{
    switch (f.what) {
    case kind::percent: return QStringLiteral("%1 %").arg(counts_to_percent(raw));
    case kind::amps: return QString::number(raw / 20.48, 'f', 2) + QStringLiteral(" A");
    case kind::loops: return QString::number(raw);
    case kind::ticks: return QStringLiteral("%1 ms").arg(raw * 13);
    case kind::vertical: return load_text(quint16(raw), source, conv);
    case kind::rpm: return QStringLiteral("%1 RPM").arg(raw);
    }
    return {};
}

} // namespace

QString setting_change::line() const
{
    return setting + (item.isEmpty() ? QString() : QLatin1Char(' ') + item) + QStringLiteral(": ") + old_text +
           QStringLiteral(" -> ") + new_text;
}

settings_diff::settings_diff(const unit_settings& u, const unit_settings& f) : unit(u), file(f)
{
    converter conv;
    unit.calibrate(conv);
    compare_ints(conv);
    for (int t = tbl_aux; t <= tbl_gpo2; ++t)
        compare_table(table_index(t), conv);
}

bool settings_diff::group_differs(int group) const
{
    for (const setting_change& c : list)
        if (c.group == group)
            return true;
    return false;
}

void settings_diff::add(const QString& setting, const QString& item, QString old_text, QString new_text, int group)
{
    list.append({setting, item, std::move(old_text), std::move(new_text), group});
}

void settings_diff::compare_ints(const converter& conv)
{
    for (int_index i : unit_settings::unit_ints()) {
        const quint32 was = unit.ints[i];
        const quint32 now = file.ints[i];
        if (was == now)
            continue;
        QString a = format_param(i, was, conv);
        QString b = format_param(i, now, conv);
        // Two stored numbers can read alike once rounded to what a user sees.
        if (a == b) {
            a += QStringLiteral(" (stored %1)").arg(was);
            b += QStringLiteral(" (stored %1)").arg(now);
        }
        add(int_names[i], {}, a, b, group_of(i));
    }
}

void settings_diff::compare_table(table_index t, const converter& conv)
{
    const table_record a(unit.tables[t]);
    const table_record b(file.tables[t]);
    const QString name = table_names[t];
    if (a.bytes() == b.bytes())
        return;
    if (!b.fault().isEmpty() || !a.fault().isEmpty()) {
        add(name, {}, a.fault().isEmpty() ? QStringLiteral("sound") : a.fault(),
            QStringLiteral("damaged in the file: ") + b.fault(), t);
        return;
    }
    QVector<bool> covered(table_record::size, false);
    const quint8 source = a.vertical_source();
    auto cover = [&](int offset, int width) {
        for (int k = offset; k < offset + width; ++k)
            covered[k] = true;
        return a.bytes().mid(offset, width) != b.bytes().mid(offset, width);
    };
    auto same_text = [](QString& x, QString& y, quint32 rx, quint32 ry) {
        if (x == y) {
            x += QStringLiteral(" (stored %1)").arg(rx);
            y += QStringLiteral(" (stored %1)").arg(ry);
        }
    };
    for (int row = 0; row < table_record::rows; ++row)
        for (int col = 0; col < table_record::columns; ++col) {
            if (!cover(table_record::cell_offset(row, col), 2))
                continue;
            QString x = QStringLiteral("%1 %").arg(counts_to_percent(a.cell(row, col)));
            QString y = QStringLiteral("%1 %").arg(counts_to_percent(b.cell(row, col)));
            same_text(x, y, a.word(table_record::cell_offset(row, col)), b.word(table_record::cell_offset(row, col)));
            add(name, QStringLiteral("cell %1 RPM, %2 (row %3, column %4)")
                          .arg(a.horizontal(col)).arg(load_text(a.vertical(row), source, conv)).arg(row).arg(col),
                x, y, t);
        }
    for (int row = 0; row < table_record::rows; ++row) {
        const int offset = 512 + (table_record::rows - 1 - row) * 2;
        if (!cover(offset, 2))
            continue;
        QString x = load_text(a.vertical(row), source, conv);
        QString y = load_text(b.vertical(row), b.vertical_source(), conv);
        same_text(x, y, a.word(offset), b.word(offset));
        add(name, QStringLiteral("load breakpoint of row %1").arg(row), x, y, t);
    }
    for (int col = 0; col < table_record::columns; ++col)
        if (cover(544 + col * 2, 2))
            add(name, QStringLiteral("engine speed breakpoint of column %1").arg(col),
                QStringLiteral("%1 RPM").arg(a.horizontal(col)), QStringLiteral("%1 RPM").arg(b.horizontal(col)), t);
    if (cover(638, 1))
        add(name, QStringLiteral("load source"), source_name(source), source_name(b.vertical_source()), t);
    for (const field& f : table_record::fields_of(t)) {
        if (!cover(f.offset, f.width))
            continue;
        QString x = field_text(f, a.value(f), source, conv);
        QString y = field_text(f, b.value(f), b.vertical_source(), conv);
        same_text(x, y, a.word(f.offset), b.word(f.offset));
        add(name, QLatin1String(f.name), x, y, t);
    }
    covered[table_record::size - 1] = true; // the checksum follows the rest
    for (int k = 0; k < table_record::size; ++k) {
        if (covered[k] || a.bytes()[k] == b.bytes()[k])
            continue;
        int end = k + 1;
        while (end < table_record::size && !covered[end] && a.bytes()[end] != b.bytes()[end])
            ++end;
        const QString where = end - k == 1 ? QStringLiteral("byte %1").arg(k) : QStringLiteral("bytes %1 to %2").arg(k).arg(end - 1);
        add(name, where, hex_bytes(a.bytes(), k, end),
            hex_bytes(b.bytes(), k, end), t);
        k = end;
    }
}

QJsonArray settings_diff::to_json() const
{
    QJsonArray out;
    for (const setting_change& c : list)
        out.append(QJsonObject{{"setting", c.setting}, {"item", c.item}, {"unit", c.old_text}, {"file", c.new_text}});
    return out;
}
