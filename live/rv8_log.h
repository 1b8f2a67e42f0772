#pragma once
// Every live sample of the session in column form, so that the chart can plot any value against
// time without copying. The worker appends and clears; the chart reads the columns meanwhile.
//
// Samples are found by time with a binary search while their stamps do not go back, which they do
// not from a unit nor in a file the program wrote; a store whose stamps do go back is searched
// from end to end. A time index would cost some 8 bytes a sample for a case that hardly occurs.

#include "live/rv8_frame.h"
#include "live/tsafe_qvector.h"

#include <array>
#include <atomic>
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
    // n samples from columns: stamps[k] and values[e][k], each value already narrowed to its field.
    void append_columns(int n, const qint64* stamps, const std::array<const quint32*, rv8_frame::value_count>& values);
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
    void note_order(qint64 t);
    // The positions [first, end) that hold stamps of t's bucket, while the stamps are in order.
    void bucket_range(qint64 t, int& first, int& end) const;

    tsafe_qvector<qint64> timestamps;
    std::array<tsafe_qvector<unsigned int>, rv8_frame::value_count> columns;
    // Only the worker appends and searches; atomic all the same, as it costs nothing.
    std::atomic<bool> in_order{true};
    qint64 last_stamp = 0;
};
