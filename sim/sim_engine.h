#pragma once
// The engine and sensors behind the live stream and the MAP sample command.

#include "sim/sim_live_record.h"
#include "sim/sim_memory.h"

#include <array>

class sim_engine {
public:
    // Duty forced by an override, by table number; -1 where the output follows its mode.
    using overrides = std::array<int, 4>;

    explicit sim_engine(quint32 seed = 1);

    // The sample at t_ms after power-on. The GPI states it settles on are written to memory, where
    // the state commands read them.
    sim_live_record sample(double t_ms, sim_memory& memory, const overrides& forced);
    // One raw MAP reading with the engine off: atmosphere plus a count or two of noise.
    quint16 map_sample();

private:
    int noise(int spread); // -spread .. spread
    quint32 rng;
};
