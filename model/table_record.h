#pragma once
// A duty table as the unit stores it: the 640-byte record, read without a grid widget, so that
// programs without a window can show and compare it cell by cell.

#include "model/ids.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class table_record {
public:
    static constexpr int size = 640;
    static constexpr int rows = 16;
    static constexpr int columns = 16;

    // A trailer field, where it sits and what it counts.
    enum class kind { percent, amps, loops, ticks, vertical, rpm };
    struct field {
        const char* name;
        int offset;
        int width;
        kind what;
        bool pump; // MAIN and AUX; the GPO tables carry the other set
    };
    static const QVector<field>& fields();
    // The fields table i carries (MAIN and AUX, or GPO1 and GPO2).
    static QVector<field> fields_of(table_index i);

    explicit table_record(QByteArray bytes) : data(std::move(bytes)) {}

    // Why the unit would not take the record, "" when it would: size and checksum.
    QString fault() const;
    bool has_trailer() const { return data.size() == size && quint8(data[608]) == 0xCC; }

    // Rows as the grid shows them: row 0 at the top (the highest load), the record keeps row 15 first.
    static int cell_offset(int row, int column) { return ((rows - 1 - row) * columns + column) * 2; }
    quint16 cell(int row, int column) const { return ten_bits(cell_offset(row, column)); }
    quint16 vertical(int row) const { return ten_bits(512 + (rows - 1 - row) * 2); }
    quint16 horizontal(int column) const { return word(544 + column * 2); }
    quint32 value(const field& f) const;
    quint8 vertical_source() const { return data.size() == size ? quint8(data[638]) : 0; }

    quint16 word(int offset) const;
    quint16 ten_bits(int offset) const { return word(offset) & 0x3FF; }
    static quint8 checksum_of(const QByteArray& bytes);

    const QByteArray& bytes() const { return data; }

private:
    QByteArray data;
};
