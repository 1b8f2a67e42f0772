#include "sim/sim_engine.h"

#include "sim/sim_table.h"

#include <algorithm>
#include <cmath>

namespace {

struct keyframe {
    double s, rpm, psi;
};

// One lap of the drive cycle, seconds from its start.
const keyframe cycle[] = {
    {0, 850, -10},   {8, 850, -10},   {9, 1500, -2},   {13, 6500, 22},  {14, 6500, 22},
    {14.5, 4300, 16}, {18, 6800, 24}, {19, 3000, 1},   {30, 3100, 2},   {31, 2600, -4},
    {33, 7000, 26},  {34, 7000, 25},  {36, 1800, -12}, {44, 900, -10},  {60, 850, -10},
};

double cycle_value(double t_ms, double keyframe::*field)
{
    const double s = std::fmod(std::max(t_ms, 0.0), sim_engine::cycle_ms) / 1000.0;
    for (size_t i = 0; i + 1 < std::size(cycle); ++i) {
        const keyframe& a = cycle[i];
        const keyframe& b = cycle[i + 1];
        if (s < b.s) {
            const double f = (s - a.s) / (b.s - a.s);
            const double smooth = f * f * (3 - 2 * f);
            return a.*field + (b.*field - a.*field) * smooth;
        }
    }
    return cycle[0].*field;
}

// When each input is held high within the cycle: [from, to) in seconds.
const double gpi_windows[2][2] = {{20, 25}, {40, 43}};

quint16 clamp10(double v)
{
    return quint16(std::clamp<long>(std::lround(v), 0, 1023));
}

int delay_ms(quint16 ticks)
{
    return ticks == 0xFFFF ? 0 : ticks * 13; // unprogrammed memory reads as no delay
}

} // namespace

sim_engine::sim_engine(quint32 seed, std::vector<sim_drive_point> drive) : rng(seed ? seed : 1), drive(std::move(drive)) {}

double sim_engine::drive_value(double t_ms, double sim_drive_point::*field) const
{
    const double s = t_ms / 1000.0;
    if (s <= drive.front().s)
        return drive.front().*field;
    for (size_t i = 0; i + 1 < drive.size(); ++i) {
        const sim_drive_point& a = drive[i];
        const sim_drive_point& b = drive[i + 1];
        if (s < b.s) {
            const double f = b.s > a.s ? (s - a.s) / (b.s - a.s) : 1.0;
            return a.*field + (b.*field - a.*field) * f * f * (3 - 2 * f);
        }
    }
    return drive.back().*field;
}

int sim_engine::noise(int spread)
{
    // xorshift32: deterministic for a given seed, so runs repeat exactly.
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return int(rng % quint32(2 * spread + 1)) - spread;
}

double sim_engine::rpm_at(double t_ms)
{
    return cycle_value(t_ms, &keyframe::rpm);
}

double sim_engine::boost_psi_at(double t_ms)
{
    return cycle_value(t_ms, &keyframe::psi);
}

bool sim_engine::gpi_high(int input, double t_ms)
{
    const double s = std::fmod(std::max(t_ms, 0.0), cycle_ms) / 1000.0;
    return s >= gpi_windows[input][0] && s < gpi_windows[input][1];
}

quint16 sim_engine::map_sample()
{
    return quint16(224 + noise(2));
}

double sim_engine::load_of(const QByteArray& table, const loads& now)
{
    switch (quint8(table[sim_table::source_offset])) {
    case 0xA2:
        return now.an1;
    case 0xA3:
        return now.an2;
    default:
        return now.map;
    }
}

// The duty a GPI forces on this output, -1 if none. An input takes effect once it has been high for
// its activation delay and lets go once it has been low for its deactivation delay.
int sim_engine::gpi_override(int table, const sim_memory& m, double t_ms) const
{
    static const int table_of_mode[] = {-1, sim_memory::main, sim_memory::aux, sim_memory::gpo1, sim_memory::gpo2};
    const sim_memory::io_offset mode_at[] = {sim_memory::io_gpi1_mode, sim_memory::io_gpi2_mode};
    const sim_memory::io_offset request_at[] = {sim_memory::io_gpi1_request, sim_memory::io_gpi2_request};
    const sim_memory::io_offset act_at[] = {sim_memory::io_gpi1_act_delay, sim_memory::io_gpi2_act_delay};
    const sim_memory::io_offset deact_at[] = {sim_memory::io_gpi1_deact_delay, sim_memory::io_gpi2_deact_delay};
    for (int input = 0; input < 2; ++input) {
        const int mode = m.io_byte(mode_at[input]) & 0x0F;
        if (mode < 1 || mode > 4 || table_of_mode[mode] != table)
            continue;
        const double s = std::fmod(std::max(t_ms, 0.0), cycle_ms);
        const double on = gpi_windows[input][0] * 1000 + delay_ms(m.io_word(act_at[input]));
        const double off = gpi_windows[input][1] * 1000 + delay_ms(m.io_word(deact_at[input]));
        if (on < gpi_windows[input][1] * 1000 && s >= on && s < off)
            return m.io_word(request_at[input]) & 0x3FF;
    }
    return -1;
}

int sim_engine::output_duty(int table, const sim_memory& m, const loads& now, double t_ms) const
{
    const QByteArray& t = m.tables[table];
    if (t.size() != sim_table::size)
        return 0;
    const sim_memory::io_offset mode_at[] = {sim_memory::io_aux_mode, sim_memory::io_main_mode,
                                             sim_memory::io_gpo1_mode, sim_memory::io_gpo2_mode};
    const int mode = m.io_byte(mode_at[table]) & 0x0F;
    const double load = load_of(t, now);
    const bool above = load >= (sim_table::be16(t, sim_table::vert_threshold_offset) & 0x3FF)
                       && now.rpm >= sim_table::be16(t, sim_table::horz_threshold_offset);
    const bool pumped = table == sim_memory::main || table == sim_memory::aux;

    if (pumped) {
        // Pump prime: after power-on the pump runs flat out for the prime delay.
        if (mode == 2 && t_ms < sim_table::be16(m.pump_prime_delay, 0) * 13.0)
            return 1023;
        if (table == sim_memory::aux && mode == 4)
            return clamp10(now.rpm / 8000.0 * 1023); // the OEM signal, passed through
        if (mode < 1 || mode > 3 || !above)
            return 0;
        const int min_duty = sim_table::be16(t, 609) & 0x3FF;
        return std::max<int>(min_duty, std::lround(sim_table::duty_at(t, now.rpm, load)));
    }
    switch (mode) {
    case 1:
        return above ? int(std::lround(sim_table::duty_at(t, now.rpm, load))) : 0;
    case 2:
        return above ? 1023 : 0;
    case 3:
        return above ? 0 : 1023;
    case 5: // off while MAIN is faulted, and it never is
    case 7:
        return 1023;
    default:
        return 0;
    }
}

sim_live_record sim_engine::sample(double t_ms, sim_memory& memory, const overrides& forced)
{
    sim_live_record r;
    const double rpm = std::max(0.0, (scripted() ? drive_value(t_ms, &sim_drive_point::rpm) : rpm_at(t_ms)) + noise(15));
    const double psi = scripted() ? drive_value(t_ms, &sim_drive_point::psi) : boost_psi_at(t_ms);
    loads now;
    now.rpm = rpm;
    now.map = clamp10(psi * map_counts_per_psi + map_counts_at_zero + noise(1));
    now.an1 = clamp10(102 + (rpm - 850) / 6200.0 * 818 + noise(2)); // throttle, 0.5 to 4.5 V
    now.an2 = clamp10(512 + 60 * std::sin(t_ms / 9000.0) + noise(1));

    memory.gpi1_state = gpi_high(0, t_ms) ? 1 : 0;
    memory.gpi2_state = gpi_high(1, t_ms) ? 1 : 0;

    std::array<int, 4> duty;
    for (int table = 0; table < 4; ++table) {
        duty[table] = output_duty(table, memory, now, t_ms);
        const int gpi = gpi_override(table, memory, t_ms);
        if (gpi >= 0)
            duty[table] = gpi;
        if (forced[table] >= 0)
            duty[table] = forced[table];
    }

    const double main_amps = duty[sim_memory::main] / 1023.0 * main_full_amps;
    const double aux_amps = duty[sim_memory::aux] / 1023.0 * aux_full_amps;
    r.batt_adc = quint16(battery_counts - std::lround((main_amps + aux_amps) * 0.6) + noise(2));
    r.map_adc = quint16(now.map);
    r.an1_adc = quint16(now.an1);
    r.an2_adc = quint16(now.an2);
    r.afr = clamp10(psi > 0 ? 480 - psi * 4 : 500 + noise(3));
    r.main_current = clamp10(main_amps * 20.48 + (duty[sim_memory::main] ? noise(2) : 0));
    r.aux_current = clamp10(aux_amps * 20.48 + (duty[sim_memory::aux] ? noise(2) : 0));
    r.rpm = quint16(std::lround(rpm));
    r.aux_duty = quint16(duty[sim_memory::aux]);
    r.main_duty = quint16(duty[sim_memory::main]);
    r.gpo1_duty = quint16(duty[sim_memory::gpo1]);
    r.gpo2_duty = quint16(duty[sim_memory::gpo2]);
    r.gpi1_state = memory.gpi1_state;
    r.gpi2_state = memory.gpi2_state;
    r.inj_pulse_width = quint16(std::lround(1500 + std::max(psi, -10.0) * 60 + rpm / 10));
    return r;
}
