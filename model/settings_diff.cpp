#include "model/settings_diff.h"

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
        return QString::number(converter::adc2volt(counts), 'f', 2) + QStringLiteral(" V");
    return QString::number(conv.adc2boost(counts), 'f', 1) + QLatin1Char(' ') + conv.boost_unit_name();
}

QString field_text(const field& f, quint32 raw, quint8 source, const converter& conv)
{
    switch (f.what) {
    case kind::percent: return QStringLiteral("%1 %").arg(counts_to_percent(raw));
    case kind::amps: return QString::number(converter::adc2amps(raw), 'f', 2) + QStringLiteral(" A");
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

QString settings_diff::row_load(table_index t, int row) const
{
    converter conv;
    unit.calibrate(conv);
    const table_record r(unit.tables.value(t));
    return r.fault().isEmpty() ? load_text(r.vertical(row), r.vertical_source(), conv) : QString();
}

bool settings_diff::group_differs(int group) const
{
    for (const setting_change& c : list)
        if (c.group == group)
            return true;
    return false;
}

setting_change& settings_diff::add(const QString& setting, const QString& item, QString old_text, QString new_text, int group)
{
    list.append({setting, item, std::move(old_text), std::move(new_text), group});
    return list.last();
}

void settings_diff::add_table_item(bool differs, setting_change item)
{
    ++count;
    if (differs)
        list.append(std::move(item));
    else
        equal.append(std::move(item));
}

void settings_diff::compare_ints(const converter& conv)
{
    for (int_index i : unit_settings::unit_ints()) {
        ++count;
        const quint32 was = unit.ints[i];
        const quint32 now = file.ints[i];
        QString a = format_param(i, was, conv);
        if (was == now) {
            equal.append({int_names[i], {}, a, a, group_of(i)});
            equal.last().param = i;
            continue;
        }
        QString b = format_param(i, now, conv);
        // Two stored numbers can read alike once rounded to what a user sees.
        if (a == b) {
            a += QStringLiteral(" (stored %1)").arg(was);
            b += QStringLiteral(" (stored %1)").arg(now);
        }
        add(int_names[i], {}, a, b, group_of(i)).param = i;
    }
}

void settings_diff::compare_table(table_index t, const converter& conv)
{
    const table_record a(unit.tables[t]);
    const table_record b(file.tables[t]);
    const QString name = table_names[t];
    if (!b.fault().isEmpty() || !a.fault().isEmpty()) {
        ++count;
        const QString was = a.fault().isEmpty() ? QStringLiteral("sound") : a.fault();
        if (a.bytes() == b.bytes())
            equal.append({name, {}, was, was, t});
        else
            add(name, {}, was, b.fault().isEmpty() ? QStringLiteral("sound") : QStringLiteral("damaged in the file: ") + b.fault(), t);
        return;
    }
    covered = QVector<bool>(table_record::size, false);
    const quint8 source = a.vertical_source();
    // Marks the bytes as looked at; true when they differ.
    auto cover = [&](int offset, int width) {
        for (int k = offset; k < offset + width; ++k)
            covered[k] = true;
        return a.bytes().mid(offset, width) != b.bytes().mid(offset, width);
    };
    auto item = [&](bool differs, const QString& what, QString x, QString y, int offset, int width) {
        if (differs && x == y) {
            x += QStringLiteral(" (stored %1)").arg(a.word(offset));
            y += QStringLiteral(" (stored %1)").arg(b.word(offset));
        }
        setting_change c{name, what, x, y, t};
        c.offset = offset;
        c.width = width;
        return c;
    };
    compare_cells(t, a, b, conv);
    for (int row = 0; row < table_record::rows; ++row) {
        const int offset = 512 + (table_record::rows - 1 - row) * 2;
        const bool differs = cover(offset, 2);
        add_table_item(differs, item(differs, QStringLiteral("load breakpoint of row %1").arg(row), load_text(a.vertical(row), source, conv),
                                     load_text(b.vertical(row), b.vertical_source(), conv), offset, 2));
    }
    for (int col = 0; col < table_record::columns; ++col) {
        const bool differs = cover(544 + col * 2, 2);
        add_table_item(differs, item(differs, QStringLiteral("engine speed breakpoint of column %1").arg(col),
                                     QStringLiteral("%1 RPM").arg(a.horizontal(col)),
                                     QStringLiteral("%1 RPM").arg(b.horizontal(col)), 544 + col * 2, 2));
    }
    const bool source_differs = cover(638, 1);
    add_table_item(source_differs,
                   item(source_differs, QStringLiteral("load source"), source_name(source), source_name(b.vertical_source()), 638, 1));
    for (const field& f : table_record::fields_of(t)) {
        const bool differs = cover(f.offset, f.width);
        add_table_item(differs, item(differs, QLatin1String(f.name), field_text(f, a.value(f), source, conv),
                                     field_text(f, b.value(f), b.vertical_source(), conv), f.offset, f.width));
    }
    compare_other_bytes(t, a, b);
}

void settings_diff::compare_cells(table_index t, const table_record& a, const table_record& b, const converter& conv)
{
    const quint8 source = a.vertical_source();
    for (int row = 0; row < table_record::rows; ++row)
        for (int col = 0; col < table_record::columns; ++col) {
            ++count;
            const int offset = table_record::cell_offset(row, col);
            covered[offset] = covered[offset + 1] = true;
            if (a.word(offset) == b.word(offset))
                continue;
            QString x = QStringLiteral("%1 %").arg(counts_to_percent(a.cell(row, col)));
            QString y = QStringLiteral("%1 %").arg(counts_to_percent(b.cell(row, col)));
            if (x == y) {
                x += QStringLiteral(" (stored %1)").arg(a.word(offset));
                y += QStringLiteral(" (stored %1)").arg(b.word(offset));
            }
            setting_change& c = add(table_names[t], QStringLiteral("cell %1 RPM, %2 (row %3, column %4)")
                                                        .arg(a.horizontal(col)).arg(load_text(a.vertical(row), source, conv)).arg(row).arg(col),
                                    x, y, t);
            c.offset = offset;
            c.width = 2;
            c.row = row;
            c.column = col;
        }
}

void settings_diff::compare_other_bytes(table_index t, const table_record& a, const table_record& b)
{
    covered[table_record::size - 1] = true; // the checksum follows the rest
    for (int k = 0; k < table_record::size; ++k) {
        if (covered[k] || a.bytes()[k] == b.bytes()[k])
            continue;
        int end = k + 1;
        while (end < table_record::size && !covered[end] && a.bytes()[end] != b.bytes()[end])
            ++end;
        const QString where = end - k == 1 ? QStringLiteral("byte %1").arg(k) : QStringLiteral("bytes %1 to %2").arg(k).arg(end - 1);
        ++count;
        setting_change& c = add(table_names[t], where, hex_bytes(a.bytes(), k, end), hex_bytes(b.bytes(), k, end), t);
        c.offset = k;
        c.width = end - k;
        k = end;
    }
}

unit_settings take_changes(const unit_settings& into, const unit_settings& from, const QList<setting_change>& chosen)
{
    unit_settings out = into;
    QList<int> sealed;
    for (const setting_change& c : chosen) {
        if (c.param >= 0 && c.param < int_last) {
            out.ints[c.param] = from.ints[c.param];
            continue;
        }
        if (c.offset < 0 || c.group < tbl_aux || c.group > tbl_gpo2)
            continue;
        QByteArray& table = out.tables[c.group];
        const QByteArray& source = from.tables[c.group];
        if (table.size() != table_record::size || source.size() != table_record::size ||
            c.offset + c.width >= table_record::size)
            continue;
        table.replace(c.offset, c.width, source.mid(c.offset, c.width));
        if (!sealed.contains(c.group))
            sealed << c.group;
    }
    for (int t : sealed)
        out.tables[t][table_record::size - 1] = char(table_record::checksum_of(out.tables[t].left(table_record::size - 1)));
    return out;
}

QJsonArray settings_diff::to_json() const
{
    QJsonArray out;
    for (const setting_change& c : list)
        out.append(QJsonObject{{"setting", c.setting}, {"item", c.item}, {"unit", c.old_text}, {"file", c.new_text}});
    return out;
}
