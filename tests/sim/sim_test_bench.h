#pragma once
// Drives a virtual unit on its own simulated clock: bytes in at a moment, bytes out up to a moment.

#include "sim/sim_unit.h"

#include <QByteArray>
#include <chrono>

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A request frame built the long way round, so a mistake in the unit's reader is not mirrored here.
inline QByteArray request(quint8 type, const QByteArray& payload)
{
    QByteArray f;
    f.append(char(0xC3));
    f.append(char(type));
    f.append(char(payload.size() >> 8));
    f.append(char(payload.size() & 0xFF));
    f.append(payload);
    quint8 x = 0;
    for (char c : f)
        x ^= quint8(c);
    f.append(char(x));
    return f;
}

inline QByteArray command(quint8 code)
{
    return request(0x05, QByteArray(1, char(code)));
}

struct sim_bench {
    explicit sim_bench(sim_config config = {}) : unit(config) {}

    sim_clock::time_point at(double ms) const
    {
        return t0 + std::chrono::duration_cast<sim_clock::duration>(std::chrono::duration<double, std::milli>(ms));
    }
    // Sends at `ms` and returns all the unit has said by then.
    QByteArray ask(const QByteArray& bytes, double ms)
    {
        now = ms;
        unit.receive(bytes, at(ms));
        return unit.take_output(at(ms));
    }
    QByteArray ask(const QByteArray& bytes)
    {
        return ask(bytes, now + 10);
    }
    QByteArray poll(double ms)
    {
        now = ms;
        return unit.take_output(at(ms));
    }

    sim_unit unit;
    sim_clock::time_point t0 = sim_clock::time_point() + std::chrono::hours(1);
    double now = 0;
};
