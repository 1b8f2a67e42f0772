#pragma once
// A virtual RV8: application firmware, bootloader and engine model behind a byte interface.
// It knows only the bytes on the wire; nothing here includes the program's device or model code.

#include "sim/sim_faults.h"
#include "sim/sim_memory.h"

#include <QByteArray>
#include <chrono>
#include <deque>

using sim_clock = std::chrono::steady_clock;

struct sim_config {
    quint16 fw_version = 0x0175;    // application version, high byte major
    quint8 variant_byte = 0xAA;     // 0xAA answers as an RV8-SX, anything else an RV8-S
    double live_period_ms = 13.13;  // 0: as fast as the host takes them (bounded per poll)
    bool start_in_bootloader = false;
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
    // ... further members as the implementation needs
};
