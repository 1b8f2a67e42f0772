#include "sim/sim_live_record.h"

namespace {

void put(QByteArray& out, quint32 value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

} // namespace

QByteArray sim_live_record::to_bytes(bool bad_trailer) const
{
    QByteArray r;
    r.reserve(size);
    for (quint16 v : {batt_adc, map_adc, an1_adc, afr, an2_adc, aux_current, main_current, rpm, aux_duty,
                      main_duty, gpo1_duty, boost_target_low, boost_target_high, pot_boost_target, gpo2_duty})
        put(r, v, 2);
    put(r, gpi1_state, 1);
    put(r, gpi2_state, 1);
    put(r, aux_master, 1);
    put(r, inj_pulse_width, 2);
    put(r, error_pol, 1);
    put(r, coarse_mode, 1);
    put(r, command, 2);
    put(r, current_pos, 2);
    put(r, error, 4);
    put(r, previous_pid, 1);
    for (quint32 v : {pterm, iterm, dterm, istate})
        put(r, v, 4);
    put(r, istate_lu, 2);
    put(r, result, 4);
    r.append(char(0xAA));
    r.append(char(bad_trailer ? 0xBC : 0xBB));
    return r;
}
