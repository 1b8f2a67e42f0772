#pragma once
// A virtual RV8: application firmware, bootloader and engine model behind a byte interface.
// It knows only the bytes on the wire; nothing here includes the program's device or model code.

#include "sim/sim_bootloader.h"
#include "sim/sim_engine.h"
#include "sim/sim_faults.h"
#include "sim/sim_frame_reader.h"
#include "sim/sim_memory.h"

#include <QByteArray>
#include <chrono>
#include <deque>
#include <iterator>

using sim_clock = std::chrono::steady_clock;

struct sim_config {
    quint16 fw_version = 0x0175;    // application version, high byte major
    quint8 variant_byte = 0xAA;     // 0xAA answers as an RV8-SX, anything else an RV8-S
    double live_period_ms = 13.13;  // 0: as fast as the host takes them (bounded per poll)
    bool start_in_bootloader = false;
    quint32 seed = 1;               // sensor noise and drive cycle; equal seeds give equal runs
    int banner_delay_ms = 20;       // from the bootloader request's reply to the banner
    int flash_write_ms = 4;         // per firmware line, between ACK and XON
    // A scripted engine instead of the drive cycle, its clock starting with the first live data,
    // so that a test knows what the unit reports when; empty: the cycle.
    std::vector<sim_drive_point> drive{};
};

class sim_unit {
public:
    explicit sim_unit(sim_config config = {});

    // Bytes from the host, arriving at `now`.
    void receive(const QByteArray& bytes, sim_clock::time_point now);
    // Everything the unit has sent by `now`, oldest first; taken out of its output.
    QByteArray take_output(sim_clock::time_point now);

    sim_faults& faults() { return fault_switches; }
    sim_memory& memory() { return eeprom; }
    const sim_config& config() const { return cfg; }

    bool in_bootloader() const;
    bool streaming() const;
    quint16 fw_version() const;
    // Power off and on: the stream stops, the application (or the bootloader, without one) starts.
    void power_cycle(sim_clock::time_point now);

    // Duty an override forces on an output (by sim_memory::table_number), -1 when none.
    int override_duty(int table) const { return forced[table]; }
    // Records a long silence may pile up; older ones are lost, as in the bridge's full buffer.
    static constexpr int max_catch_up = 64;

private:
    using time_point = sim_clock::time_point;

    void bootloader_receive(const QByteArray& bytes, time_point now);
    void handle_frame(const sim_frame_reader::frame& f, time_point now);
    void handle_command(quint8 code, time_point now);
    bool handle_write(quint8 type, const QByteArray& payload);
    void alter_stored(quint8 type);
    void reply(quint8 type, const QByteArray& data, time_point now);
    void send_at(time_point at, const QByteArray& bytes);
    QByteArray table_reply(int table) const;
    QByteArray banner() const;
    void enter_bootloader(time_point now);
    void start_application(time_point now);
    void stream_until(time_point now);
    void emit_record(time_point at);
    double ms_since_power_on(time_point at) const;

    struct pending {
        time_point at;
        QByteArray bytes;
    };

    sim_config cfg;
    sim_faults fault_switches;
    sim_memory eeprom;
    sim_engine engine;
    sim_frame_reader reader;
    sim_bootloader loader;
    std::deque<pending> output;
    sim_engine::overrides forced{{-1, -1, -1, -1}};
    quint16 app_version;
    bool boot = false;
    bool app_valid = true; // false once a transfer has begun rewriting the flash, until it completes
    bool stream = false;
    bool clock_started = false;
    time_point power_on{};
    bool drive_started = false;
    time_point drive_start{};
    time_point next_record{};
};
