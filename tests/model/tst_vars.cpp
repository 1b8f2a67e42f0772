// The pending sets decide what a write sends and what a save stores, so their rules are pinned here.

#include "model/rv8_vars.h"

#include <QtTest>

class tst_vars : public QObject {
    Q_OBJECT

private slots:
    void fresh_model();
    void set_stores_and_marks_pending();
    void remove_all_sets_keeps_values();
};

void tst_vars::fresh_model()
{
    rv8_vars v(nullptr);
    QList<QByteArray> tables = {"stale"};
    QList<unsigned int> ints = {7};
    QList<adc_trim> trims;
    v.get(tables, ints, trims);
    QCOMPARE(tables, QList<QByteArray>() << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                         << QByteArray() << QByteArray());
    QCOMPARE(ints.size(), 41);
    QCOMPARE(ints.count(0u), 41);
    QCOMPARE(trims.size(), 6);
    QCOMPARE(trims.count(adc_trim{true, 0}), 6);
    QVERIFY(!v.is_initialized());
    QVERIFY(v.pending_tables().isEmpty() && v.pending_ints().isEmpty() && v.pending_trims().isEmpty());
}

void tst_vars::set_stores_and_marks_pending()
{
    rv8_vars v(nullptr);
    v.set(5, int_gpi1_act_delay);
    QVERIFY(v.is_initialized());
    v.set(6, int_gpi1_act_delay);
    v.set(QByteArray("abc"), tbl_afr);
    v.set(adc_trim{false, 1023}, trim_spare);
    QCOMPARE(v.pending_ints(), QSet<int_index>({int_gpi1_act_delay}));
    QCOMPARE(v.pending_tables(), QSet<table_index>({tbl_afr}));
    QCOMPARE(v.pending_trims(), QSet<adc_trim_index>({trim_spare}));

    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
    v.get(tables, ints, trims);
    QCOMPARE(ints[int_gpi1_act_delay], 6u);
    QCOMPARE(ints.count(0u), 40);
    QCOMPARE(tables[tbl_afr], QByteArray("abc"));
    QCOMPARE(trims[trim_spare], (adc_trim{false, 1023}));
    QCOMPARE(trims[trim_battery], (adc_trim{true, 0}));
}

void tst_vars::remove_all_sets_keeps_values()
{
    rv8_vars v(nullptr);
    v.set(9, int_rpm_scaler);
    v.set(QByteArray(640, 'x'), tbl_main);
    v.set(adc_trim{false, 3}, trim_map);
    v.remove_all_sets();
    QVERIFY(v.pending_tables().isEmpty() && v.pending_ints().isEmpty() && v.pending_trims().isEmpty());
    QVERIFY(v.is_initialized());
    QList<QByteArray> tables;
    QList<unsigned int> ints;
    QList<adc_trim> trims;
    v.get(tables, ints, trims);
    QCOMPARE(ints[int_rpm_scaler], 9u);
    QCOMPARE(tables[tbl_main], QByteArray(640, 'x'));
    QCOMPARE(trims[trim_map], (adc_trim{false, 3}));
}

QTEST_GUILESS_MAIN(tst_vars)
#include "tst_vars.moc"
