#include "model/rv8_vars.h"

rv8_vars::rv8_vars(rv8_link* link) : worker(link)
{
    for (int i = 0; i < tbl_last; ++i)
        tables.append(QByteArray());
    for (int i = 0; i < int_last; ++i)
        ints.append(0);
    for (int i = 0; i < trim_last; ++i)
        trims.append(adc_trim());
}

void rv8_vars::set(QByteArray data, table_index i)
{
    tables[i] = data;
    tables_set.insert(i);
    initialized = true;
}

void rv8_vars::set(quint32 value, int_index i)
{
    ints[i] = value;
    ints_set.insert(i);
    initialized = true;
}

void rv8_vars::set(adc_trim trim, adc_trim_index i)
{
    trims[i] = trim;
    trims_set.insert(i);
    initialized = true;
}

void rv8_vars::get(QList<QByteArray>& tables_out, QList<unsigned int>& ints_out, QList<adc_trim>& trims_out) const
{
    tables_out = tables;
    ints_out = ints;
    trims_out = trims;
}

void rv8_vars::remove_all_sets()
{
    tables_set.clear();
    ints_set.clear();
    trims_set.clear();
}
