#pragma once
// One 70-byte live record as the unit streams it: 68 bytes of big-endian sample fields and the
// trailer AA BB.

#include <QByteArray>

struct sim_live_record {
    static constexpr int size = 70;

    quint16 batt_adc = 0;
    quint16 map_adc = 0;
    quint16 an1_adc = 0;
    quint16 afr = 0;
    quint16 an2_adc = 0;
    quint16 aux_current = 0;
    quint16 main_current = 0;
    quint16 rpm = 0;
    quint16 aux_duty = 0;
    quint16 main_duty = 0;
    quint16 gpo1_duty = 0;
    quint16 boost_target_low = 0;
    quint16 boost_target_high = 0;
    quint16 pot_boost_target = 0;
    quint16 gpo2_duty = 0;
    quint8 gpi1_state = 0;
    quint8 gpi2_state = 0;
    quint8 aux_master = 0;
    quint16 inj_pulse_width = 0;
    quint8 error_pol = 0;
    quint8 coarse_mode = 0;
    quint16 command = 0;
    quint16 current_pos = 0;
    quint32 error = 0;
    quint8 previous_pid = 0;
    quint32 pterm = 0;
    quint32 iterm = 0;
    quint32 dterm = 0;
    quint32 istate = 0;
    quint16 istate_lu = 0;
    quint32 result = 0;

    // bad_trailer: end in AA BC, as a record garbled on the way would.
    QByteArray to_bytes(bool bad_trailer = false) const;
};
