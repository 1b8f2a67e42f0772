// The pending sets decide what a write sends and what a save stores, so their rules are pinned here.

#include "tests/model/model_values.h"

#include <QtTest>

class tst_vars : public QObject {
    Q_OBJECT

private slots:
    void pending_sets()
    {
        rv8_vars v(nullptr);
        model_values m(v);
        QCOMPARE(m.tables.size(), 6);
        QCOMPARE(m.tables.count(QByteArray()), 6);
        QCOMPARE(m.ints.size(), 41);
        QCOMPARE(m.ints.count(0u), 41);
        QCOMPARE(m.trims.size(), 6);
        QCOMPARE(m.trims.count(adc_trim{true, 0}), 6);
        QVERIFY(!v.is_initialized());
        QVERIFY(v.pending_tables().isEmpty() && v.pending_ints().isEmpty() && v.pending_trims().isEmpty());

        v.set(5, int_gpi1_act_delay);
        QVERIFY(v.is_initialized());
        v.set(6, int_gpi1_act_delay);
        v.set(QByteArray("abc"), tbl_afr);
        v.set(adc_trim{false, 1023}, trim_spare);
        QCOMPARE(v.pending_ints(), QSet<int_index>({int_gpi1_act_delay}));
        QCOMPARE(v.pending_tables(), QSet<table_index>({tbl_afr}));
        QCOMPARE(v.pending_trims(), QSet<adc_trim_index>({trim_spare}));
        v.get(m.tables, m.ints, m.trims);  // replaces, never appends
        QCOMPARE(m.ints[int_gpi1_act_delay], 6u);
        QCOMPARE(m.ints.count(0u), 40);
        QCOMPARE(m.tables[tbl_afr], QByteArray("abc"));
        QCOMPARE(m.trims[trim_spare], (adc_trim{false, 1023}));
        QCOMPARE(m.trims.count(adc_trim{true, 0}), 5);

        v.remove_all_sets();
        QVERIFY(v.pending_tables().isEmpty() && v.pending_ints().isEmpty() && v.pending_trims().isEmpty());
        QVERIFY(v.is_initialized());
        const model_values kept(v);
        QCOMPARE(kept.tables, m.tables);
        QCOMPARE(kept.ints, m.ints);
        QCOMPARE(kept.trims, m.trims);
    }
};

QTEST_GUILESS_MAIN(tst_vars)
#include "tst_vars.moc"
