#include "sim/sim_engine.h"

sim_engine::sim_engine(quint32 seed) : rng(seed ? seed : 1) {}

int sim_engine::noise(int spread)
{
    // xorshift32: deterministic for a given seed, so runs repeat exactly.
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return int(rng % quint32(2 * spread + 1)) - spread;
}

quint16 sim_engine::map_sample()
{
    return quint16(224 + noise(2));
}

sim_live_record sim_engine::sample(double, sim_memory& memory, const overrides& forced)
{
    sim_live_record r;
    r.batt_adc = quint16(577 + noise(2)); // 13.8 V through the 1:4.1 divider
    r.map_adc = map_sample();
    r.aux_duty = quint16(forced[sim_memory::aux] < 0 ? 0 : forced[sim_memory::aux]);
    r.main_duty = quint16(forced[sim_memory::main] < 0 ? 0 : forced[sim_memory::main]);
    r.gpo1_duty = quint16(forced[sim_memory::gpo1] < 0 ? 0 : forced[sim_memory::gpo1]);
    r.gpo2_duty = quint16(forced[sim_memory::gpo2] < 0 ? 0 : forced[sim_memory::gpo2]);
    r.gpi1_state = memory.gpi1_state;
    r.gpi2_state = memory.gpi2_state;
    return r;
}
