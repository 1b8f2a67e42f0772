#pragma once
// The program's copy of every setting of one unit, with the entries changed since they were last
// sent. Lives on the worker thread only; it has no lock.

#include "model/ids.h"
#include "model/rv8_link.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

class rv8_vars {
public:
    explicit rv8_vars(rv8_link* link);

    void set(QByteArray data, table_index i);
    void set(quint32 value, int_index i);
    void set(adc_trim trim, adc_trim_index i);
    void get(QList<QByteArray>& tables_out, QList<unsigned int>& ints_out, QList<adc_trim>& trims_out) const;
    void remove_all_sets();

    bool is_initialized() const { return initialized; }
    const QSet<table_index>& pending_tables() const { return tables_set; }
    const QSet<int_index>& pending_ints() const { return ints_set; }
    const QSet<adc_trim_index>& pending_trims() const { return trims_set; }

private:
    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
    rv8_link* worker;
    bool initialized = false;
    QSet<table_index> tables_set;
    QSet<int_index> ints_set;
    QSet<adc_trim_index> trims_set;
};
