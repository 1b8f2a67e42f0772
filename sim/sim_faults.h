#pragma once
// What the unit does wrong, as named switches. Counters count down as the faults fire, so a test
// sets one and reads like the failure it provokes.

#include <QByteArray>

struct sim_faults {
    enum class banner_fault {
        none,
        missing,     // no restart: the application keeps running and sends nothing after the header
        v_last,      // the banner stops right after its 'v'
        v_not_digit, // the banner's 'v' is followed by a letter
    };

    // Replies (header plus any data) to the next requests; a dropped reply uses up no other fault.
    int drop_replies = 0;         // nothing at all is sent
    int corrupt_headers = 0;      // third header byte repeats the type instead of its complement
    int late_replies = 0;         // sent late_by_ms after the request instead of at once
    int late_by_ms = 0;
    int truncate_next_reply = -1; // the next reply is cut to this many bytes
    QByteArray extra_after_command; // sent once, straight after the next command reply

    // Writes: the next write of this message type (0x0A to 0x0D tables, 0x07, 0x0E, 0x15, 0x16,
    // 0x17) is acknowledged as usual, but the memory keeps what it held (dropped), or stores the
    // block with the lowest bit of its first value flipped (altered). 0: none.
    quint8 drop_write = 0;
    quint8 alter_write = 0;

    // Data blocks as they are read; the memory itself stays intact.
    int corrupt_table_checksum = -1; // table 0 AUX, 1 MAIN, 2 GPO1, 3 GPO2 is read with a wrong checksum
    int corrupt_table_marker = -1;   // that table is read without its 0xCC marker (checksum still right)
    bool corrupt_io_modes_marker = false;
    bool corrupt_map_cal_marker = false;

    // Live stream.
    bool bad_live_trailer = false; // the next record ends AA BC
    int live_backlog = 0;          // this many records come out together at the next poll

    // Bootloader.
    banner_fault banner = banner_fault::none;
    int refuse_hex_line = 0; // the k-th line of a transfer (1 = first) is refused once; 0 none
};
