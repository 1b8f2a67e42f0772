#pragma once
// The unit's bootloader: takes firmware one text line at a time, each ended by "\r", checks it and
// paces the sender with flow-control bytes.
//
// - ':' lines are Intel HEX records: hex digits, byte count, address, type 00 to 05, data and a
//   record checksum that brings the sum of all bytes to zero. Anything else is refused.
// - '|' lines carry one record the same way behind the '|' (the ':' after it is optional); they are
//   checked and stored exactly like ':' lines.
// - ':' and '|' always begin a new line; bytes buffered before them are dropped.
// - An empty line (the lone "\r" a sender starts with) and lines starting with any other character
//   are ignored without an answer.
// - An accepted line gets XOFF ACK at once and XON after the flash-write time; the end-of-file
//   record then also gets ACK XON and the new application starts.
// - A refused line gets XOFF NAK (13 15) and no XON. The transfer starts over: the next line counts
//   as the first again and the data received so far is forgotten.
// - The new application's version is the first "MAVO" in the image's data (type 00 records, in the
//   order received) followed by four hex digits: "MAVO0180" gives 0x0180. An image without it keeps
//   the version the unit had.

#include <QByteArray>
#include <QVector>
#include <optional>

struct sim_faults;

class sim_bootloader {
public:
    struct send {
        int delay_ms; // after the line arrived
        QByteArray bytes;
    };
    struct outcome {
        QVector<send> replies;
        bool erased = false;   // the first data record of a transfer was written: the old application is gone
        bool finished = false; // the end-of-file record arrived: start the new application
        std::optional<quint16> version; // found in the image, when finished
    };

    static constexpr char xoff = 0x13;
    static constexpr char ack = 0x06;
    static constexpr char nak = 0x15;
    static constexpr char xon = 0x11;
    static constexpr int max_line = 520; // a record holds at most 255 data bytes

    // A fresh start: nothing buffered, no transfer under way.
    void restart();
    outcome feed(const QByteArray& bytes, sim_faults& faults, int flash_write_ms);

    // Lines accepted in the transfer under way.
    int lines_accepted() const { return accepted; }

private:
    enum class verdict { ignored, accepted, refused, end_of_file };
    verdict judge(const QByteArray& line);
    std::optional<quint16> image_version() const;

    QByteArray line;
    bool overflow = false; // the line outgrew any record: noise, ignored when it ends
    QByteArray image;
    int accepted = 0;
    int received = 0;
};
