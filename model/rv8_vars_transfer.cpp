#include "model/rv8_vars.h"
#include "model/write_group.h"

#include <QDebug>

#include <algorithm>

namespace {

const char frame_read_gpi1_state[] = "C3050001B374";
const char frame_read_gpi2_state[] = "C3050001B473";
const char frame_read_rpm_scaler[] = "C3050001B87F";
const char frame_read_pump_prime_delay[] = "C3050001BB7C";
const char frame_read_io_modes[] = "C3050001BD7A";
const char frame_read_map_cal[] = "C3050001BF78";
const char frame_read_aux_table[] = "C3050001A86F";

const int table_length = 640;
const int io_modes_length = 38;
const int map_cal_length = 28;
// Larger than the largest reply and request, so neither buffer grows during an exchange.
const int reply_reserve = 650;
const int request_reserve = 280;

quint32 be16(const QByteArray& b, int at)
{
    return quint32(quint8(b[at])) << 8 | quint8(b[at + 1]);
}

quint32 be32(const QByteArray& b, int at)
{
    return be16(b, at) << 16 | be16(b, at + 2);
}

void put8(QByteArray& b, quint32 v)
{
    b.append(char(v & 0xFF));
}

void put16(QByteArray& b, quint32 v)
{
    put8(b, v >> 8);
    put8(b, v);
}

void put32(QByteArray& b, quint32 v)
{
    put16(b, v >> 16);
    put16(b, v);
}

bool has_marker(const QByteArray& b, int at)
{
    return quint8(b[at]) == 0xAB && quint8(b[at + 1]) == 0xBA;
}

// Unprogrammed memory in the unit reads as all ones.
quint32 delay_value(const QByteArray& b, int at)
{
    quint32 v = be16(b, at);
    return v == 0xFFFF ? 0 : v;
}

quint8 xor_of(const QByteArray& b, int count)
{
    quint8 x = 0;
    for (int k = 0; k < count; ++k)
        x ^= quint8(b[k]);
    return x;
}

QString hex2(quint8 v)
{
    return QString::number(v, 16);
}

}  // namespace

FT_STATUS rv8_vars::read_step(QByteArray msg, QByteArray& reply, int length)
{
    FT_STATUS status = worker->get_param(msg, reply, length);
    if (status != FT_OK)
        return status;
    // The link promises the exact length; a shorter reply must not be read past its end.
    if (reply.size() != length) {
        qCritical().noquote() << "Reply of" << reply.size() << "bytes where" << length << "were expected";
        return FT_IO_ERROR;
    }
    return FT_OK;
}

FT_STATUS rv8_vars::rv8_to_vars()
{
    QByteArray reply;
    reply.reserve(reply_reserve);

    FT_STATUS status = read_step(QByteArray::fromHex(frame_read_gpi1_state), reply, 1);
    if (status != FT_OK)
        return status;
    ints[int_gpi1_state] = quint32(qint32(qint8(reply[0])));

    if ((status = read_step(QByteArray::fromHex(frame_read_gpi2_state), reply, 1)) != FT_OK)
        return status;
    ints[int_gpi2_state] = quint32(qint32(qint8(reply[0])));

    if ((status = read_step(QByteArray::fromHex(frame_read_rpm_scaler), reply, 3)) != FT_OK)
        return status;
    ints[int_rpm_scaler] = quint8(reply[0]);

    if ((status = read_step(QByteArray::fromHex(frame_read_pump_prime_delay), reply, 2)) != FT_OK)
        return status;
    ints[int_pump_prime_delay] = be16(reply, 0);

    if ((status = read_io_modes(reply)) != FT_OK)
        return status;
    if ((status = read_map_cal(reply)) != FT_OK)
        return status;
    for (int i = tbl_aux; i <= tbl_gpo2; ++i) {
        if ((status = read_table(table_index(i), reply)) != FT_OK)
            return status;
    }
    initialized = true;
    return FT_OK;
}

FT_STATUS rv8_vars::read_io_modes(QByteArray& reply)
{
    FT_STATUS status = read_step(QByteArray::fromHex(frame_read_io_modes), reply, io_modes_length);
    if (status != FT_OK)
        return status;
    if (!has_marker(reply, 18)) {
        qCritical() << "Mode data from RV8-SX incorrect, try reading again!";
        qCritical().noquote() << reply.toHex();
        return FT_IO_ERROR;
    }
    ints[int_main_mode] = quint8(reply[20]);
    ints[int_aux_mode] = quint8(reply[21]);
    ints[int_gpo1_mode] = quint8(reply[22]);
    ints[int_gpo2_mode] = quint8(reply[23]);
    ints[int_gpi1_mode] = quint8(reply[24]);
    ints[int_gpi1_request] = be16(reply, 25);
    ints[int_gpi2_mode] = quint8(reply[27]);
    ints[int_gpi2_request] = be16(reply, 28);
    ints[int_gpi1_act_delay] = delay_value(reply, 30);
    ints[int_gpi1_deact_delay] = delay_value(reply, 32);
    ints[int_gpi2_act_delay] = delay_value(reply, 34);
    ints[int_gpi2_deact_delay] = delay_value(reply, 36);
    return FT_OK;
}

FT_STATUS rv8_vars::read_map_cal(QByteArray& reply)
{
    FT_STATUS status = read_step(QByteArray::fromHex(frame_read_map_cal), reply, map_cal_length);
    if (status != FT_OK)
        return status;
    if (!has_marker(reply, 22)) {
        qCritical() << "MAP cal data from RV8-SX incorrect, try reading again!";
        qCritical().noquote() << reply.toHex();
        return FT_IO_ERROR;
    }
    ints[int_base_slope] = be32(reply, 0);
    ints[int_base_intercept] = be32(reply, 4);
    ints[int_base_atm] = be16(reply, 8);
    ints[int_active_slope] = be32(reply, 10);
    ints[int_active_intercept] = be32(reply, 14);
    ints[int_active_atm] = be16(reply, 18);
    ints[int_active_deadband] = be16(reply, 20);
    return FT_OK;
}

FT_STATUS rv8_vars::read_table(table_index i, QByteArray& reply)
{
    QByteArray frame = QByteArray::fromHex(frame_read_aux_table);
    frame[4] = char(quint8(frame[4]) + i);
    frame[5] = char(xor_of(frame, 5));
    FT_STATUS status = read_step(frame, reply, table_length);
    if (status != FT_OK)
        return status;
    quint8 calc = xor_of(reply, table_length - 1);
    quint8 read = quint8(reply[table_length - 1]);
    if (calc != read) {
        qWarning().noquote().nospace() << table_names[i]
                                       << " table read error from RV8-SX, try to read again! calc checksum="
                                       << hex2(calc) << "  read checksum=" << hex2(read);
        return FT_IO_ERROR;
    }
    tables[i] = reply;
    return FT_OK;
}

FT_STATUS rv8_vars::vars_to_rv8()
{
    written_groups.clear();
    unwritten_groups.clear();
    if (!initialized) {
        qCritical() << "Internal error: vars were not initialized prior to trying to write to the device";
        return FT_OTHER_ERROR;
    }
    drop_unsendable();
    QByteArray payload;
    payload.reserve(request_reserve);
    FT_STATUS result = FT_OK;
    bool stopped = false;
    for (int g = 0; g < g_count; ++g) {
        if (!group_pending(g))
            continue;
        if (stopped) {
            unwritten_groups << g;
            continue;
        }
        if (!group_complete(g))
            continue;
        const FT_STATUS status = write_one(g, payload);
        if (status == FT_OK)
            continue;
        if (result == FT_OK)
            result = status;
        // Each further message would wait out its own time-out on a unit that has gone silent.
        stopped = status == FT_OTHER_ERROR || !worker->is_open();
    }
    return result;
}

FT_STATUS rv8_vars::write_one(int g, QByteArray& payload)
{
    qDebug().noquote() << "Set" << group_name(g);
    payload.clear();
    const FT_STATUS status = send_group(g, payload);
    if (status == FT_OK) {
        settle_group(g);
        written_groups << g;
    } else {
        qWarning().noquote() << "Could not set" << group_name(g);
        unwritten_groups << g;
    }
    return status;
}

// Entries the unit has no message for leave the pending sets with a word where one is due.
void rv8_vars::drop_unsendable()
{
    for (table_index i : tables_set.values())
        if (i > tbl_gpo2) {
            qWarning().noquote() << "Tables set not implemented for" << table_names[i] << int(i);
            tables_set.remove(i);
        }
    for (int_index i : ints_set.values())
        if (group_of(i) < 0) {
            if (i >= int_boost_step && i <= int_gpi2_state)
                qWarning().noquote() << "Ints set not implemented for" << int_names[i] << int(i);
            ints_set.remove(i);
        }
    for (adc_trim_index i : qAsConst(trims_set))
        qWarning().noquote() << "ADC trims set not implemented for" << trim_names[i] << int(i);
    trims_set.clear();
}

bool rv8_vars::group_pending(int g) const
{
    if (g <= g_gpo2_table)
        return tables_set.contains(table_index(g));
    for (int_index m : group_members(g))
        if (ints_set.contains(m))
            return true;
    return false;
}

// A block goes to the unit whole; one with a member missing is dropped rather than half made up.
bool rv8_vars::group_complete(int g)
{
    const QList<int_index> members = group_members(g);
    if (std::all_of(members.begin(), members.end(), [this](int_index m) { return ints_set.contains(m); }))
        return true;
    const char* what = g == g_io_modes ? "IO modes" : g == g_base_map_cal ? "base MAP cal" : "active MAP cal";
    qCritical().noquote() << "Do not have all the values needed when setting the" << what;
    settle_group(g);
    return false;
}

void rv8_vars::settle_group(int g)
{
    if (g <= g_gpo2_table)
        tables_set.remove(table_index(g));
    for (int_index m : group_members(g))
        ints_set.remove(m);
}

// Sends group g's message, building its payload into the reserved buffer.
FT_STATUS rv8_vars::send_group(int g, QByteArray& payload)
{
    const rv8_msg_type type = payload_of(g, payload);
    return worker->set_param(type, payload);
}

rv8_msg_type rv8_vars::payload_of(int g, QByteArray& payload) const
{
    switch (g) {
    case g_rpm_scaler: {
        quint8 v = quint8(ints[int_rpm_scaler]);
        put8(payload, 0xAA);
        put8(payload, v);
        put8(payload, v ^ 0xAA);
        put16(payload, 0);
        return msg_set_rpm_scaler;
    }
    case g_pump_prime: {
        quint8 hi = quint8(ints[int_pump_prime_delay] >> 8), lo = quint8(ints[int_pump_prime_delay]);
        put8(payload, hi);
        put8(payload, lo);
        put8(payload, hi ^ lo);
        return msg_set_pump_prime_delay;
    }
    case g_io_modes:
        for (int_index m : {int_main_mode, int_aux_mode, int_gpo1_mode, int_gpo2_mode, int_gpi1_mode})
            put8(payload, ints[m]);
        put16(payload, ints[int_gpi1_request]);
        put8(payload, ints[int_gpi2_mode]);
        put16(payload, ints[int_gpi2_request]);
        for (int_index m : {int_gpi1_act_delay, int_gpi1_deact_delay, int_gpi2_act_delay, int_gpi2_deact_delay})
            put16(payload, ints[m]);
        return msg_set_io_modes;
    case g_base_map_cal:
        put32(payload, ints[int_base_slope]);
        put32(payload, ints[int_base_intercept]);
        put16(payload, ints[int_base_atm]);
        return msg_set_base_map_cal;
    case g_active_map_cal:
        put32(payload, ints[int_active_slope]);
        put32(payload, ints[int_active_intercept]);
        put16(payload, ints[int_active_atm]);
        put16(payload, ints[int_active_deadband]);
        return msg_set_active_map_cal;
    default:
        payload = tables[g];
        return rv8_msg_type(msg_set_aux_table + g);
    }
}

// Reads the block that holds group g, as a full read would.
FT_STATUS rv8_vars::read_group(int g)
{
    QByteArray reply;
    reply.reserve(reply_reserve);
    FT_STATUS status = FT_OK;
    switch (g) {
    case g_rpm_scaler:
        if ((status = read_step(QByteArray::fromHex(frame_read_rpm_scaler), reply, 3)) == FT_OK)
            ints[int_rpm_scaler] = quint8(reply[0]);
        return status;
    case g_pump_prime:
        if ((status = read_step(QByteArray::fromHex(frame_read_pump_prime_delay), reply, 2)) == FT_OK)
            ints[int_pump_prime_delay] = be16(reply, 0);
        return status;
    case g_io_modes:
        return read_io_modes(reply);
    case g_base_map_cal:
    case g_active_map_cal:
        return read_map_cal(reply);
    default:
        return read_table(table_index(g), reply);
    }
}

FT_STATUS rv8_vars::check_written(const QList<int>& groups, QList<int>* differing, QList<int>* unread)
{
    rv8_vars back(worker);
    FT_STATUS result = FT_OK;
    bool calibration_read = false;
    for (int g : groups) {
        if (result == FT_OTHER_ERROR || !worker->is_open()) {
            *unread << g;
            continue;
        }
        // Both calibrations come back in one block.
        const bool calibration = g == g_base_map_cal || g == g_active_map_cal;
        const FT_STATUS status = calibration && calibration_read ? FT_OK : back.read_group(g);
        if (status != FT_OK) {
            *unread << g;
            if (result == FT_OK)
                result = status;
            continue;
        }
        calibration_read = calibration_read || calibration;
        QByteArray sent, held;
        payload_of(g, sent);
        back.payload_of(g, held);
        if (sent != held)
            *differing << g;
    }
    return result;
}
