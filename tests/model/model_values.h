#pragma once
// A snapshot of every value a model holds, for comparing what a transfer or a file left behind.

#include "model/rv8_vars.h"

// A table whose checksum (the XOR of the bytes before it) holds, different for every seed; over its
// length it holds every byte value.
inline QByteArray sealed_table(int seed)
{
    QByteArray t(640, 0);
    for (int k = 0; k < 639; ++k) {
        t[k] = char((k * 13 + seed * 29) & 0xFF);
        t[639] = char(t[639] ^ t[k]);
    }
    return t;
}

struct model_values {
    explicit model_values(const rv8_vars& v) { v.get(tables, ints, trims); }
    bool operator==(const model_values& o) const { return tables == o.tables && ints == o.ints && trims == o.trims; }
    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
};
