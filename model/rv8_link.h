#pragma once
// The two exchanges through which settings reach a unit. The device worker implements them; the
// settings model sees only this, so the model does not depend on the device layer.

#include "device/d2xx/ftd2xx.h"

#include <QByteArray>

// Message type byte of a frame sent to the unit.
enum rv8_msg_type : quint8 {
    msg_override_aux = 0x01,
    msg_override_main = 0x02,
    msg_override_gpo1 = 0x04,
    msg_command = 0x05,
    msg_override_gpo2 = 0x06,
    msg_set_pump_prime_delay = 0x07,
    msg_reset_override = 0x08,
    msg_set_aux_table = 0x0A,
    msg_set_main_table = 0x0B,
    msg_set_gpo1_table = 0x0C,
    msg_set_gpo2_table = 0x0D,
    msg_set_rpm_scaler = 0x0E,
    msg_live_log = 0x13,
    msg_set_io_modes = 0x15,
    msg_set_base_map_cal = 0x16,
    msg_set_active_map_cal = 0x17,
};

class rv8_link {
public:
    virtual ~rv8_link() = default;
    // Sends a complete command frame; on success ret holds exactly exp_len reply data bytes.
    virtual FT_STATUS get_param(QByteArray& msg, QByteArray& ret, unsigned long exp_len) = 0;
    // Builds a frame of this type around the payload, sends it and waits for the acknowledgement;
    // FT_OTHER_ERROR when none came in time.
    virtual FT_STATUS set_param(rv8_msg_type type, QByteArray& payload) = 0;
    // False once a failed exchange has closed the link.
    virtual bool is_open() const = 0;
};
