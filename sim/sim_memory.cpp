#include "sim/sim_memory.h"

#include "sim/sim_table.h"

#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <cmath>

namespace {

// The standard MAP sensor: 16.122 counts per PSI, 222.312 counts at 0 PSI, 223 at atmosphere.
constexpr quint32 std_slope = 16122;
constexpr quint32 std_intercept = 222312;
constexpr quint16 std_atm = 223;
constexpr quint16 std_deadband = 48; // 3 PSI

void put_be32(QByteArray& b, int offset, quint32 v)
{
    sim_table::put_be16(b, offset, quint16(v >> 16));
    sim_table::put_be16(b, offset + 2, quint16(v & 0xFFFF));
}

quint16 psi_counts(double psi)
{
    return quint16(std::lround(psi * std_slope / 1000.0 + std_intercept / 1000.0));
}

QByteArray default_table(int number)
{
    quint16 boost[16], volts[16], rpm[16];
    for (int i = 0; i < 16; ++i) {
        boost[i] = psi_counts(2.0 * i); // 0 to 30 PSI
        volts[i] = quint16(std::lround(i * 1023 / 15.0));
        rpm[i] = i == 0 ? 0 : quint16(1000 + 500 * (i - 1)); // 0, 1000, 1500 ... 8000
    }
    QByteArray t;
    switch (number) {
    case sim_memory::aux:
        t = sim_table::build(boost, rpm, [](int l, int r) { return l < 2 ? 0 : 15 + 4 * l + r; }, 0xA1);
        break;
    case sim_memory::main:
        t = sim_table::build(boost, rpm, [](int l, int r) { return 10 + 5 * l + 2 * r; }, 0xA1);
        break;
    case sim_memory::gpo1:
        t = sim_table::build(boost, rpm, [](int l, int) { return l >= 8 ? 100 : 0; }, 0xA1);
        break;
    default:
        t = sim_table::build(volts, rpm, [](int, int r) { return r >= 10 ? 100 : 0; }, 0xA2);
        break;
    }
    if (number == sim_memory::aux || number == sim_memory::main) {
        sim_table::put_be16(t, 609, 102);  // minimum duty 10 %
        sim_table::put_be16(t, 613, 10);   // under-current 0.5 A
        sim_table::put_be16(t, 615, 164);  // over-current 8 A
        put_be32(t, 617, 100);             // time delay, loops
        sim_table::put_be16(t, sim_table::vert_threshold_offset, psi_counts(0));
    } else {
        sim_table::put_be16(t, 609, 8); // activation delay 104 ms
        sim_table::put_be16(t, 611, 8); // deactivation delay 104 ms
        sim_table::put_be16(t, sim_table::vert_threshold_offset,
                            number == sim_memory::gpo1 ? psi_counts(16) : quint16(512));
        sim_table::put_be16(t, sim_table::horz_threshold_offset, 1500);
    }
    sim_table::seal(t);
    return t;
}

} // namespace

sim_memory::sim_memory()
{
    restore_defaults();
}

void sim_memory::restore_defaults()
{
    gpi1_state = 0;
    gpi2_state = 0;
    set_rpm_scaler(4); // two pulses per revolution
    pump_prime_delay = QByteArray("\x00\x26", 2); // 38 ticks, about half a second

    io_modes = QByteArray(io_modes_size, '\0');
    io_modes[io_marker] = char(0xAB);
    io_modes[io_marker + 1] = char(0xBA);
    io_modes[io_main_mode] = char(0xA1);  // duty table
    io_modes[io_aux_mode] = char(0xB1);   // duty table
    io_modes[io_gpo1_mode] = char(0xD2);  // on above setpoint
    io_modes[io_gpo2_mode] = char(0xE1);  // duty table
    io_modes[io_gpi1_mode] = char(0x51);  // override MAIN when high
    sim_table::put_be16(io_modes, io_gpi1_request, 1023);
    io_modes[io_gpi2_mode] = char(0x50);  // not used
    sim_table::put_be16(io_modes, io_gpi2_request, 0);
    sim_table::put_be16(io_modes, io_gpi1_act_delay, 8);
    sim_table::put_be16(io_modes, io_gpi1_deact_delay, 8);
    // Never programmed, as on a unit fresh from the factory.
    sim_table::put_be16(io_modes, io_gpi2_act_delay, 0xFFFF);
    sim_table::put_be16(io_modes, io_gpi2_deact_delay, 0xFFFF);

    map_cal = QByteArray(map_cal_size, '\0');
    for (int base : {int(map_base), int(map_active)}) {
        put_be32(map_cal, base, std_slope);
        put_be32(map_cal, base + 4, std_intercept);
        sim_table::put_be16(map_cal, base + 8, std_atm);
    }
    sim_table::put_be16(map_cal, map_deadband, std_deadband);
    map_cal[map_marker] = char(0xAB);
    map_cal[map_marker + 1] = char(0xBA);

    for (int i = 0; i < 4; ++i)
        tables[i] = default_table(i);
}

void sim_memory::set_rpm_scaler(quint8 value)
{
    rpm_scaler = QByteArray(3, '\0');
    rpm_scaler[0] = char(value);
    rpm_scaler[1] = char(value ^ 0xAA);
}

quint16 sim_memory::io_word(io_offset offset) const
{
    return sim_table::be16(io_modes, offset);
}

bool sim_memory::operator==(const sim_memory& o) const
{
    return gpi1_state == o.gpi1_state && gpi2_state == o.gpi2_state && rpm_scaler == o.rpm_scaler
        && pump_prime_delay == o.pump_prime_delay && io_modes == o.io_modes && map_cal == o.map_cal
        && tables == o.tables;
}

namespace {

const char* const file_header = "# RV8 virtual unit EEPROM";

void fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
}

} // namespace

// One "name hex" line per block: readable, diffable, and a damaged file is caught block by block.
bool sim_memory::save(const QString& path, QString* error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        fail(error, file.errorString());
        return false;
    }
    QByteArray text = QByteArray(file_header) + "\n";
    text += "gpi1_state " + QByteArray(1, char(gpi1_state)).toHex() + "\n";
    text += "gpi2_state " + QByteArray(1, char(gpi2_state)).toHex() + "\n";
    for (const auto& b : blocks(*this))
        text += b.first + " " + b.second->toHex() + "\n";
    file.write(text);
    if (!file.commit()) {
        fail(error, file.errorString());
        return false;
    }
    return true;
}

bool sim_memory::load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fail(error, file.errorString());
        return false;
    }
    QMap<QByteArray, QByteArray> values;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const int space = line.indexOf(' ');
        if (space < 0) {
            fail(error, "malformed line: " + QString::fromLatin1(line.left(40)));
            return false;
        }
        values.insert(line.left(space), QByteArray::fromHex(line.mid(space + 1).trimmed()));
    }

    sim_memory loaded;
    QList<QPair<QByteArray, QByteArray*>> wanted = blocks(loaded);
    wanted.append({"gpi1_state", nullptr});
    wanted.append({"gpi2_state", nullptr});
    for (const auto& w : wanted) {
        const QByteArray value = values.value(w.first);
        const int size = w.second ? w.second->size() : 1;
        if (value.size() != size) {
            fail(error, QString("%1: %2 bytes, expected %3").arg(QString::fromLatin1(w.first)).arg(value.size()).arg(size));
            return false;
        }
        if (w.second)
            *w.second = value;
    }
    loaded.gpi1_state = quint8(values.value("gpi1_state")[0]);
    loaded.gpi2_state = quint8(values.value("gpi2_state")[0]);
    *this = loaded;
    return true;
}
