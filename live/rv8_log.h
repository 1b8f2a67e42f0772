#pragma once
// Every live sample of the session in column form, so that the chart can plot any value against
// time without copying. The worker appends and clears; the chart reads the columns meanwhile.

#include "live/rv8_frame.h"
#include "live/time_bucket_index.h"
#include "live/tsafe_qvector.h"

#include <array>
#include <vector>

class rv8_log {
public:
    enum e_data {
        e_batt_adc,
        e_map_adc,
        e_an1_adc,
        e_afr,
        e_an2_adc,
        e_aux_current,
        e_main_current,
        e_rpm,
        e_aux_duty,
        e_main_duty,
        e_gpo1_duty,
        e_boost_target_low,
        e_boost_target_high,
        e_pot_boost_target,
        e_gpo2_duty,
        e_gpi1_state,
        e_gpi2_state,
        e_aux_master,
        e_inj_pulse_width,
        e_error_pol,
        e_coarse_mode,
        e_command,
        e_current_pos,
        e_error,
        e_previous_pid,
        e_pterm,
        e_iterm,
        e_dterm,
        e_istate,
        e_istate_lu,
        e_result,
        e_last
    };

    rv8_log();
    rv8_log(const rv8_log&) = delete;
    rv8_log& operator=(const rv8_log&) = delete;

    void append(const rv8_frame& frame);
    // The same as appending each frame in turn, but each column is locked once for all of them.
    void append(const std::vector<rv8_frame>& frames);
    int size() const;
    // Sample i rebuilt from the columns; an all-zero frame, logged, when i is out of range.
    rv8_frame at(int i) const;
    rv8_frame last() const { return at(size() - 1); }
    // The sample nearest to t within t's 32 ms bucket, or an all-zero frame.
    rv8_frame roughly_at(qint64 t) const;

    // e_last stands for the first column; any other value outside the columns is fatal.
    const tsafe_qvector<unsigned int>& const_data(e_data e) const;
    const tsafe_qvector<qint64>& const_timestamps() const { return timestamps; }

    void clear();

private:
    tsafe_qvector<qint64> timestamps;
    time_bucket_index time_index;
    std::array<tsafe_qvector<unsigned int>, rv8_frame::value_count> columns;
};
