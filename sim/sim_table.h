#pragma once
// Reading and building the unit's 640-byte duty-table records: 512 bytes of 10-bit cells (bottom row
// first), the vertical axis in counts, the horizontal axis in RPM, the 0xCC marker, the trailer and
// the closing checksum.

#include <QByteArray>
#include <functional>

class sim_table {
public:
    static constexpr int size = 640;
    static constexpr int cells_offset = 0;
    static constexpr int vert_axis_offset = 512;
    static constexpr int horz_axis_offset = 544;
    static constexpr int marker_offset = 608;
    static constexpr int vert_threshold_offset = 630;
    static constexpr int horz_threshold_offset = 632;
    static constexpr int source_offset = 638;
    static constexpr int checksum_offset = 639;
    static constexpr quint8 marker = 0xCC;

    // duty(load_index, rpm_index) in percent; load index 0 is the lowest load.
    using duty_rule = std::function<int(int load_index, int rpm_index)>;
    // A record with the given axes (counts and RPM), trailer words and a valid checksum.
    static QByteArray build(const quint16 (&vert_counts)[16], const quint16 (&horz_rpm)[16],
                            const duty_rule& duty, quint8 source_code);

    static quint8 checksum(const QByteArray& record);
    static void seal(QByteArray& record);

    static quint16 be16(const QByteArray& bytes, int offset);
    static void put_be16(QByteArray& bytes, int offset, quint16 value);

    static quint16 cell(const QByteArray& record, int load_index, int rpm_index);
    static quint16 vert(const QByteArray& record, int load_index);
    static quint16 horz(const QByteArray& record, int rpm_index);

    // Duty in counts at this engine speed and load (counts of the table's source), interpolated
    // between the four surrounding cells and held at the edges.
    static double duty_at(const QByteArray& record, double rpm, double load);

private:
    static double position(double value, const quint16 (&axis)[16]);
};
