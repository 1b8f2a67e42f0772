#pragma once
// The engine and sensors behind the live stream and the MAP sample command. A fixed drive cycle
// (idle, pulls through the gears, cruise, lift-off) repeats every cycle_ms; the outputs follow the
// unit's own modes, tables and thresholds, as the firmware would drive them.

#include "sim/sim_live_record.h"
#include "sim/sim_memory.h"

#include <array>
#include <vector>

// One point of a scripted drive: from s seconds on the engine turns rpm at psi of boost, moving
// smoothly to the next point.
struct sim_drive_point {
    double s;
    double rpm;
    double psi;
};

class sim_engine {
public:
    // Duty forced by an override, by table number; -1 where the output follows its mode.
    using overrides = std::array<int, 4>;

    static constexpr double cycle_ms = 60000.0;
    // The sensor every unit ships with: counts = PSI x 16.122 + 222.312.
    static constexpr double map_counts_per_psi = 16.122;
    static constexpr double map_counts_at_zero = 222.312;
    static constexpr int battery_counts = 748;   // 13.8 V at 54.21 counts per volt
    static constexpr double main_full_amps = 12.0; // pump current at full duty
    static constexpr double aux_full_amps = 6.0;

    // A drive given points the engine follows instead of the cycle, and holds the last one.
    explicit sim_engine(quint32 seed = 1, std::vector<sim_drive_point> drive = {});
    bool scripted() const { return !drive.empty(); }

    // The sample at t_ms after power-on (or the last restart). The GPI input states are also
    // written to memory, where the state commands read them.
    sim_live_record sample(double t_ms, sim_memory& memory, const overrides& forced);
    // One raw MAP reading with the engine off: atmosphere plus a count or two of noise.
    quint16 map_sample();

    // The drive cycle without noise, for tests and demos.
    static double rpm_at(double t_ms);
    static double boost_psi_at(double t_ms);
    static bool gpi_high(int input, double t_ms);

private:
    struct loads {
        double rpm, map, an1, an2;
    };

    int noise(int spread); // -spread .. spread
    int output_duty(int table, const sim_memory& m, const loads& now, double t_ms) const;
    int gpi_override(int table, const sim_memory& m, double t_ms) const;
    static double load_of(const QByteArray& table, const loads& now);
    double drive_value(double t_ms, double sim_drive_point::*field) const;
    quint32 rng;
    std::vector<sim_drive_point> drive;
};
