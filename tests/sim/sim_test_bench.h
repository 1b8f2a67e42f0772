#pragma once
// Drives a virtual unit on its own simulated clock: bytes in at a moment, bytes out up to a moment.

#include "sim/sim_unit.h"

#include <QByteArray>
#include <chrono>
#include <numeric>

inline QByteArray hex(const char* text) { return QByteArray::fromHex(text); }
inline int word(const QByteArray& b, int offset) { return quint8(b[offset]) << 8 | quint8(b[offset + 1]); }
inline QByteArray patched(QByteArray b, int at, const QByteArray& p) { return b.replace(at, p.size(), p); }

inline quint8 xor_of(const QByteArray& b, int from, int to)
{
    return std::accumulate(b.begin() + from, b.begin() + to, quint8(0), [](quint8 x, char c) { return quint8(x ^ c); });
}

// A request frame built the long way round, so a mistake in the unit's reader is not mirrored here.
inline QByteArray request(quint8 type, const QByteArray& payload)
{
    const QByteArray f = hex("C3") + char(type) + char(payload.size() >> 8) + char(payload.size() & 0xFF) + payload;
    return f + char(xor_of(f, 0, f.size()));
}
inline QByteArray command(quint8 code) { return request(0x05, QByteArray(1, char(code))); }

// Live records reduced to their trailers, so a stream compares exactly despite its sensor noise;
// bytes after the last whole record stay as they are.
inline QByteArray trailers(const QByteArray& stream)
{
    QByteArray out, rest = stream;
    for (; rest.size() >= 70; rest.remove(0, 70))
        out += rest.mid(68, 2);
    return out + rest;
}

struct sim_bench {
    explicit sim_bench(double live_period_ms = 10) : unit(sim_config{0x0175, 0xAA, live_period_ms}) {}

    sim_clock::time_point at(double ms) const
    {
        return t0 + std::chrono::duration_cast<sim_clock::duration>(std::chrono::duration<double, std::milli>(ms));
    }
    // Sends at `ms` and returns all the unit has said by then.
    QByteArray ask(const QByteArray& bytes, double ms) { unit.receive(bytes, at(now = ms)); return poll(ms); }
    QByteArray ask(const QByteArray& bytes) { return ask(bytes, now + 10); }
    QByteArray poll(double ms) { return unit.take_output(at(now = ms)); }

    sim_unit unit;
    sim_clock::time_point t0 = sim_clock::time_point() + std::chrono::hours(1);
    double now = 0;
};
