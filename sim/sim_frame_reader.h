#pragma once
// Cuts the host's byte stream into request frames, however the bytes are split across calls.

#include <QByteArray>
#include <QVector>
#include <chrono>

class sim_frame_reader {
public:
    using time_point = std::chrono::steady_clock::time_point;
    struct frame {
        quint8 type;
        QByteArray payload;
    };

    // The longest payload any request carries (a duty table). A longer length field can only be
    // line noise, so the reader hunts for the next start byte instead of waiting for it.
    static constexpr int max_payload = 640;
    // A frame that stops arriving for this long is abandoned: the host has given up on it and
    // will purge and send afresh, and its tail must not swallow the next request.
    static constexpr std::chrono::milliseconds stale_after{50};

    // Complete frames with a good checksum, in order. Bytes before a start byte are skipped and a
    // frame whose checksum does not match is dropped whole.
    QVector<frame> feed(const QByteArray& bytes, time_point now);
    void clear() { pending.clear(); }
    int buffered() const { return pending.size(); }

private:
    QByteArray pending;
    time_point last_byte{};
};
