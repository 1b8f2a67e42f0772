#include "sim/sim_unit.h"

#include "sim/sim_table.h"

namespace {

enum : quint8 {
    msg_override_aux = 0x01,
    msg_override_main = 0x02,
    msg_override_gpo1 = 0x04,
    msg_command = 0x05,
    msg_override_gpo2 = 0x06,
    msg_set_pump_prime_delay = 0x07,
    msg_reset_override = 0x08,
    msg_set_aux_table = 0x0A,
    msg_set_gpo2_table = 0x0D,
    msg_set_rpm_scaler = 0x0E,
    msg_live_log = 0x13,
    msg_set_io_modes = 0x15,
    msg_set_base_map_cal = 0x16,
    msg_set_active_map_cal = 0x17,
};

enum : quint8 {
    cmd_read_map_sample = 0xA2,
    cmd_read_aux_table = 0xA8,
    cmd_read_gpo2_table = 0xAB,
    cmd_read_gpi1_state = 0xB3,
    cmd_read_gpi2_state = 0xB4,
    cmd_read_fw_version = 0xB6,
    cmd_reset = 0xB7,
    cmd_read_rpm_scaler = 0xB8,
    cmd_read_pump_prime_delay = 0xBB,
    cmd_read_io_modes = 0xBD,
    cmd_read_map_cal = 0xBF,
    cmd_enter_bootloader = 0xC0,
    cmd_read_variant = 0xC1,
};

QByteArray be16(quint16 v)
{
    QByteArray b(2, '\0');
    sim_table::put_be16(b, 0, v);
    return b;
}

} // namespace

sim_unit::sim_unit(sim_config config)
    : cfg(config), engine(config.seed, config.drive), app_version(config.fw_version), boot(config.start_in_bootloader),
      app_valid(!config.start_in_bootloader)
{
}

bool sim_unit::in_bootloader() const
{
    return boot;
}

bool sim_unit::streaming() const
{
    return stream;
}

quint16 sim_unit::fw_version() const
{
    return app_version;
}

void sim_unit::power_cycle(time_point now)
{
    output.clear();
    reader.clear();
    stream = false;
    forced.fill(-1);
    loader.restart();
    boot = !app_valid;
    power_on = now;
    clock_started = true;
}

double sim_unit::ms_since_power_on(time_point at) const
{
    return std::chrono::duration<double, std::milli>(at - power_on).count();
}

void sim_unit::receive(const QByteArray& bytes, time_point now)
{
    if (!clock_started) {
        power_on = now;
        clock_started = true;
    }
    if (boot) {
        bootloader_receive(bytes, now);
        return;
    }
    stream_until(now);
    for (const auto& f : reader.feed(bytes, now)) {
        if (boot)
            break;
        handle_frame(f, now);
    }
}

QByteArray sim_unit::take_output(time_point now)
{
    if (!clock_started) {
        power_on = now;
        clock_started = true;
    }
    if (stream) {
        // Never dated before the switch-on, or a record would overtake the reply that started it.
        if (cfg.live_period_ms <= 0)
            emit_record(std::max(now, next_record));
        else
            stream_until(now);
        for (; fault_switches.live_backlog > 0; --fault_switches.live_backlog)
            emit_record(now);
    }
    QByteArray out;
    while (!output.empty() && output.front().at <= now) {
        out.append(output.front().bytes);
        output.pop_front();
    }
    return out;
}

void sim_unit::stream_until(time_point now)
{
    if (!stream || cfg.live_period_ms <= 0)
        return;
    const auto period = std::chrono::duration_cast<sim_clock::duration>(
        std::chrono::duration<double, std::milli>(cfg.live_period_ms));
    if (now - next_record > period * max_catch_up)
        next_record = now - period * (max_catch_up - 1);
    while (next_record <= now) {
        emit_record(next_record);
        next_record += period;
    }
}

void sim_unit::emit_record(time_point at)
{
    const double t = engine.scripted() ? std::chrono::duration<double, std::milli>(at - drive_start).count()
                                       : ms_since_power_on(at);
    const sim_live_record r = engine.sample(t, eeprom, forced);
    send_at(at, r.to_bytes(fault_switches.bad_live_trailer));
    fault_switches.bad_live_trailer = false;
}

void sim_unit::send_at(time_point at, const QByteArray& bytes)
{
    auto it = output.end();
    while (it != output.begin() && std::prev(it)->at > at)
        --it;
    output.insert(it, {at, bytes});
}

// Every reply goes through here so the reply faults apply to all of them alike.
void sim_unit::reply(quint8 type, const QByteArray& data, time_point now)
{
    sim_faults& f = fault_switches;
    if (f.drop_replies > 0) {
        --f.drop_replies;
        return;
    }
    QByteArray r;
    r.append(char(0x3C));
    r.append(char(type));
    r.append(char(~type));
    if (f.corrupt_headers > 0) {
        --f.corrupt_headers;
        r[2] = char(type);
    }
    r.append(data);
    if (type == msg_command && !f.extra_after_command.isEmpty()) {
        r.append(f.extra_after_command);
        f.extra_after_command.clear();
    }
    if (f.truncate_next_reply >= 0) {
        r.truncate(f.truncate_next_reply);
        f.truncate_next_reply = -1;
    }
    time_point at = now;
    if (f.late_replies > 0) {
        --f.late_replies;
        at += std::chrono::milliseconds(f.late_by_ms);
    }
    send_at(at, r);
}

// A request the unit cannot act on (unknown type or command, bad length, a write whose own check
// bytes disagree) gets no answer at all, the same as a frame with a bad checksum: a refusal the host
// could mistake for an acknowledgement would be worse than its time-out.
void sim_unit::handle_frame(const sim_frame_reader::frame& f, time_point now)
{
    if (f.type == msg_command) {
        if (f.payload.size() == 1)
            handle_command(quint8(f.payload[0]), now);
        return;
    }
    if (f.type == msg_live_log) {
        if (f.payload.size() != 1 || (f.payload[0] != char(0x55) && f.payload[0] != 0))
            return;
        const bool on = f.payload[0] == char(0x55);
        if (on && !stream)
            next_record = now + std::chrono::duration_cast<sim_clock::duration>(
                                    std::chrono::duration<double, std::milli>(cfg.live_period_ms));
        if (on && !drive_started) {
            drive_started = true;
            drive_start = now;
        }
        stream = on;
        reply(f.type, {}, now);
        return;
    }
    sim_faults& faults = fault_switches;
    if (faults.drop_write != 0 && f.type == faults.drop_write) {
        faults.drop_write = 0;
        const sim_memory kept = eeprom;
        if (handle_write(f.type, f.payload)) {
            eeprom = kept;
            reply(f.type, {}, now);
        }
        return;
    }
    if (!handle_write(f.type, f.payload))
        return;
    if (faults.alter_write != 0 && f.type == faults.alter_write) {
        faults.alter_write = 0;
        alter_stored(f.type);
    }
    reply(f.type, {}, now);
}

// A bit gone wrong in the unit's memory: the lowest bit of the first value the message stores.
void sim_unit::alter_stored(quint8 type)
{
    switch (type) {
    case msg_set_pump_prime_delay:
        eeprom.pump_prime_delay[1] = char(eeprom.pump_prime_delay[1] ^ 1);
        break;
    case msg_set_rpm_scaler:
        eeprom.set_rpm_scaler(quint8(eeprom.rpm_scaler[0]) ^ 1);
        break;
    case msg_set_io_modes:
        eeprom.io_modes[sim_memory::io_main_mode] = char(eeprom.io_modes[sim_memory::io_main_mode] ^ 1);
        break;
    case msg_set_base_map_cal:
        eeprom.map_cal[sim_memory::map_base + 3] = char(eeprom.map_cal[sim_memory::map_base + 3] ^ 1);
        break;
    case msg_set_active_map_cal:
        eeprom.map_cal[sim_memory::map_active + 3] = char(eeprom.map_cal[sim_memory::map_active + 3] ^ 1);
        break;
    default:
        if (type >= msg_set_aux_table && type <= msg_set_gpo2_table) {
            QByteArray& table = eeprom.tables[type - msg_set_aux_table];
            table[1] = char(table[1] ^ 1);
            sim_table::seal(table);
        }
        break;
    }
}

bool sim_unit::handle_write(quint8 type, const QByteArray& p)
{
    const auto byte = [&](int i) { return quint8(p[i]); };
    switch (type) {
    case msg_override_aux:
    case msg_override_main:
    case msg_override_gpo1:
    case msg_override_gpo2: {
        if (p.size() != 2)
            return false;
        const int table = type == msg_override_aux    ? sim_memory::aux
                          : type == msg_override_main ? sim_memory::main
                          : type == msg_override_gpo1 ? sim_memory::gpo1
                                                      : sim_memory::gpo2;
        forced[table] = sim_table::be16(p, 0) & 0x3FF;
        return true;
    }
    case msg_reset_override: {
        // Output numbers count MAIN first, unlike the table numbers.
        static const int table_of_output[] = {sim_memory::main, sim_memory::aux, sim_memory::gpo1, sim_memory::gpo2};
        if (p.size() != 1 || byte(0) < 1 || byte(0) > 4)
            return false;
        forced[table_of_output[byte(0) - 1]] = -1;
        return true;
    }
    case msg_set_pump_prime_delay:
        if (p.size() != 3 || (byte(0) ^ byte(1)) != byte(2))
            return false;
        eeprom.pump_prime_delay = p.left(2);
        return true;
    case msg_set_rpm_scaler:
        if (p.size() != 5 || byte(0) != 0xAA || (byte(1) ^ 0xAA) != byte(2))
            return false;
        eeprom.set_rpm_scaler(byte(1));
        return true;
    case msg_set_io_modes:
        if (p.size() != sim_memory::io_modes_write_size)
            return false;
        eeprom.io_modes.replace(sim_memory::io_main_mode, p.size(), p);
        return true;
    case msg_set_base_map_cal:
        if (p.size() != sim_memory::base_cal_write_size)
            return false;
        eeprom.map_cal.replace(sim_memory::map_base, p.size(), p);
        return true;
    case msg_set_active_map_cal:
        if (p.size() != sim_memory::active_cal_write_size)
            return false;
        eeprom.map_cal.replace(sim_memory::map_active, p.size(), p);
        return true;
    default:
        if (type >= msg_set_aux_table && type <= msg_set_gpo2_table && p.size() == sim_table::size) {
            eeprom.tables[type - msg_set_aux_table] = p;
            return true;
        }
        return false;
    }
}

void sim_unit::handle_command(quint8 code, time_point now)
{
    switch (code) {
    case cmd_read_map_sample:
        reply(msg_command, be16(engine.map_sample()), now);
        break;
    case cmd_read_gpi1_state:
        reply(msg_command, QByteArray(1, char(eeprom.gpi1_state)), now);
        break;
    case cmd_read_gpi2_state:
        reply(msg_command, QByteArray(1, char(eeprom.gpi2_state)), now);
        break;
    case cmd_read_fw_version:
        reply(msg_command, be16(app_version), now);
        break;
    case cmd_reset:
        reply(msg_command, {}, now);
        start_application(now);
        break;
    case cmd_read_rpm_scaler:
        reply(msg_command, eeprom.rpm_scaler, now);
        break;
    case cmd_read_pump_prime_delay:
        reply(msg_command, eeprom.pump_prime_delay, now);
        break;
    case cmd_read_io_modes: {
        QByteArray d = eeprom.io_modes;
        if (fault_switches.corrupt_io_modes_marker)
            d[sim_memory::io_marker + 1] = 0;
        reply(msg_command, d, now);
        break;
    }
    case cmd_read_map_cal: {
        QByteArray d = eeprom.map_cal;
        if (fault_switches.corrupt_map_cal_marker)
            d[sim_memory::map_marker + 1] = 0;
        reply(msg_command, d, now);
        break;
    }
    case cmd_enter_bootloader:
        reply(msg_command, {}, now);
        enter_bootloader(now);
        break;
    case cmd_read_variant:
        reply(msg_command, QByteArray(1, char(cfg.variant_byte)), now);
        break;
    default:
        if (code >= cmd_read_aux_table && code <= cmd_read_gpo2_table)
            reply(msg_command, table_reply(code - cmd_read_aux_table), now);
        break;
    }
}

QByteArray sim_unit::table_reply(int table) const
{
    QByteArray d = eeprom.tables[table];
    if (fault_switches.corrupt_table_marker == table) {
        d[sim_table::marker_offset] = 0;
        sim_table::seal(d);
    }
    if (fault_switches.corrupt_table_checksum == table)
        d[sim_table::checksum_offset] = char(sim_table::checksum(d) ^ 0x5A);
    return d;
}

void sim_unit::bootloader_receive(const QByteArray& bytes, time_point now)
{
    const sim_bootloader::outcome out = loader.feed(bytes, fault_switches, cfg.flash_write_ms);
    for (const auto& r : out.replies)
        send_at(now + std::chrono::milliseconds(r.delay_ms), r.bytes);
    if (out.erased)
        app_valid = false;
    if (out.finished) {
        app_valid = true;
        if (out.version)
            app_version = *out.version;
        start_application(now);
    }
}

void sim_unit::start_application(time_point now)
{
    power_on = now;
    stream = false;
    forced.fill(-1);
    reader.clear();
    boot = false;
}

void sim_unit::enter_bootloader(time_point now)
{
    if (fault_switches.banner == sim_faults::banner_fault::missing)
        return;
    stream = false;
    forced.fill(-1);
    reader.clear();
    loader.restart();
    boot = true;
    send_at(now + std::chrono::milliseconds(cfg.banner_delay_ms), banner());
}

QByteArray sim_unit::banner() const
{
    switch (fault_switches.banner) {
    case sim_faults::banner_fault::v_last:
        return "\r\nRV8 boot v";
    case sim_faults::banner_fault::v_not_digit:
        return "\r\nRV8 boot vX.1\r\n";
    default:
        return "\r\nRV8 boot v2.1\r\n";
    }
}
