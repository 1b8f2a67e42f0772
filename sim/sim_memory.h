#pragma once
// The unit's EEPROM: every block the host reads, kept byte for byte in the layout it is read in, so
// that a write followed by a read returns the same bytes. The blocks are public on purpose: tests
// and the command-line tool poke them directly.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <array>

class sim_memory {
public:
    enum table_number { aux = 0, main = 1, gpo1 = 2, gpo2 = 3 };
    // Offsets inside io_modes.
    enum io_offset {
        io_marker = 18, io_main_mode = 20, io_aux_mode = 21, io_gpo1_mode = 22, io_gpo2_mode = 23,
        io_gpi1_mode = 24, io_gpi1_request = 25, io_gpi2_mode = 27, io_gpi2_request = 28,
        io_gpi1_act_delay = 30, io_gpi1_deact_delay = 32, io_gpi2_act_delay = 34, io_gpi2_deact_delay = 36,
    };
    // Offsets inside map_cal.
    enum map_offset { map_base = 0, map_active = 10, map_active_atm = 18, map_deadband = 20, map_marker = 22 };

    static constexpr int io_modes_size = 38;
    static constexpr int map_cal_size = 28;
    static constexpr int io_modes_write_size = 18;
    static constexpr int base_cal_write_size = 10;
    static constexpr int active_cal_write_size = 12;

    sim_memory();
    // Factory state: four working tables, sensible modes and the standard MAP sensor.
    void restore_defaults();

    quint8 gpi1_state = 0;
    quint8 gpi2_state = 0;
    QByteArray rpm_scaler;       // 3 bytes as read: the value, value XOR 0xAA, 0
    QByteArray pump_prime_delay; // 2 bytes, big-endian ticks of 13 ms
    QByteArray io_modes;         // 38 bytes, marker AB BA at 18
    QByteArray map_cal;          // 28 bytes, marker AB BA at 22
    std::array<QByteArray, 4> tables; // 640 bytes each, by table_number

    void set_rpm_scaler(quint8 value);
    quint8 io_byte(io_offset offset) const { return quint8(io_modes[offset]); }
    quint16 io_word(io_offset offset) const;

    // EEPROM image on disk, so a virtual unit keeps its settings across runs. On failure error
    // (when given) says why and the memory is unchanged.
    bool save(const QString& path, QString* error = nullptr) const;
    bool load(const QString& path, QString* error = nullptr);

    bool operator==(const sim_memory& other) const;

private:
    // The multi-byte blocks with their names in the saved file.
    template <typename self>
    static auto blocks(self& m) -> QList<QPair<QByteArray, decltype(&m.rpm_scaler)>>
    {
        return {{"rpm_scaler", &m.rpm_scaler}, {"pump_prime_delay", &m.pump_prime_delay},
                {"io_modes", &m.io_modes},     {"map_cal", &m.map_cal},
                {"table_aux", &m.tables[aux]}, {"table_main", &m.tables[main]},
                {"table_gpo1", &m.tables[gpo1]}, {"table_gpo2", &m.tables[gpo2]}};
    }
};
