#pragma once
// A snapshot of every value a model holds, for comparing what a transfer or a file left behind.

#include "model/rv8_vars.h"

struct model_values {
    explicit model_values(const rv8_vars& v) { v.get(tables, ints, trims); }
    bool operator==(const model_values& o) const { return tables == o.tables && ints == o.ints && trims == o.trims; }
    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
};
