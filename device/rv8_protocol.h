#pragma once
// Frames to the unit and the fixed command frames, kept as the hex text the unit's documentation
// gives them in.

#include "model/rv8_link.h"

#include <QByteArray>

namespace rv8_protocol {

constexpr quint8 start_byte = 0xC3;
constexpr quint8 reply_start = 0x3C;
constexpr int reply_header_size = 3;
constexpr int live_record_size = 70;
constexpr quint8 live_trailer_0 = 0xAA;
constexpr quint8 live_trailer_1 = 0xBB;
constexpr quint8 live_on = 0x55;
// What the worker sets the bridge's latency timer to: it holds a short packet back this long.
constexpr int latency_timer_ms = 2;

// Command codes carried by msg_command frames.
enum command : quint8 {
    cmd_read_map_sample = 0xA2,
    cmd_read_aux_table = 0xA8,
    cmd_read_main_table = 0xA9,
    cmd_read_gpo1_table = 0xAA,
    cmd_read_gpo2_table = 0xAB,
    cmd_read_gpi1_state = 0xB3,
    cmd_read_gpi2_state = 0xB4,
    cmd_read_fw_version = 0xB6,
    cmd_reset = 0xB7,
    cmd_read_rpm_scaler = 0xB8,
    cmd_read_pump_prime_delay = 0xBB,
    cmd_read_io_modes = 0xBD,
    cmd_read_map_cal = 0xBF,
    cmd_enter_bootloader = 0xC0,
    cmd_read_variant = 0xC1,
};

inline constexpr const char* frame_read_map_sample = "C3050001A265";
inline constexpr const char* frame_read_aux_table = "C3050001A86F";
inline constexpr const char* frame_read_gpi1_state = "C3050001B374";
inline constexpr const char* frame_read_gpi2_state = "C3050001B473";
inline constexpr const char* frame_read_fw_version = "C3050001B671";
inline constexpr const char* frame_reset = "C3050001B770";
inline constexpr const char* frame_read_rpm_scaler = "C3050001B87F";
inline constexpr const char* frame_read_pump_prime_delay = "C3050001BB7C";
inline constexpr const char* frame_read_io_modes = "C3050001BD7A";
inline constexpr const char* frame_read_map_cal = "C3050001BF78";
inline constexpr const char* frame_enter_bootloader = "C3050001C007";
inline constexpr const char* frame_read_variant = "C3050001C106";
inline constexpr const char* frame_live_off = "C313000100D1";

// 0xC3, type, length (big-endian), payload, XOR of everything before it.
QByteArray build_frame(rv8_msg_type type, const QByteArray& payload);
// A fixed frame from its hex text.
QByteArray frame(const char* hex_text);
// The read frame of duty table 0..3: the AUX frame with the table number added to its code.
QByteArray table_read_frame(int table);
// The header a unit answers a frame of this type with.
QByteArray reply_header(rv8_msg_type type);
quint8 xor_of(const char* data, int length);

} // namespace rv8_protocol
