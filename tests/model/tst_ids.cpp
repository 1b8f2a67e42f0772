// Display names are keys in settings files, so they are checked character for character.

#include "model/ids.h"
#include "tests/support/log_capture.h"

#include <QMetaType>
#include <QtTest>

class tst_ids : public QObject {
    Q_OBJECT

private slots:
    void table_names_exact();
    void int_names_exact();
    void trim_names_exact();
    void encode_vertical_source_data();
    void encode_vertical_source();
    void encode_refuses_index_outside_selector();
    void decode_vertical_source_data();
    void decode_vertical_source();
    void decode_refuses_foreign_codes_data();
    void decode_refuses_foreign_codes();
    void meta_types_registered_by_name();
};

void tst_ids::table_names_exact()
{
    const QStringList expected = {"AUX duty table", "MAIN duty table", "GPO1 duty table", "GPO2 duty table",
                                  "Wide Band duty table", "Air Fuel Ratio table", "LAST"};
    QCOMPARE(table_names, expected);
    QCOMPARE(table_names.size(), int(tbl_last) + 1);
    QCOMPARE(table_names[tbl_gpo2], QString("GPO2 duty table"));
}

void tst_ids::int_names_exact()
{
    const QStringList expected = {
        "RPM scaler",       "pump prime delay", "boost step",       "battery value",    "MAP value",
        "Wide Band value",  "AUX current",      "MAIN current",     "SPARE ADC",        "MAIN pulse width",
        "PID parameters",   "GPI1 state",       "GPI2 state",       "Main mode",        "AUX mode",
        "GPO1 mode",        "GPO2 mode",        "GPI1 mode",        "GPI1 request",     "GPI2 mode",
        "GPI2 request",     "Base Slope",       "Base Intercept",   "Base Atmospheric", "Active Slope",
        "Active Intercept", "Active Atmospheric", "Active Deadband", "Variant",         "Min Boost",
        "Max Boost",        "Min ANA Input",    "Max ANA Input",    "Min ANB Input",    "Max ANB Input",
        "GPI1 act delay",   "GPI1 deact delay", "GPI2 act delay",   "GPI2 deact delay", "Brennix Version",
        "RV8 FW Version",   "LAST"};
    QCOMPARE(int_names, expected);
    QCOMPARE(int_names.size(), 42);
    QCOMPARE(int_names[int_main_mode], QString("Main mode"));
    QCOMPARE(int_names[int_gpi2_deact_delay], QString("GPI2 deact delay"));
    QCOMPARE(int_names[int_gui_version], QString("Brennix Version"));
    QCOMPARE(int_names[int_fw_version], QString("RV8 FW Version"));
    QCOMPARE(int_names[int_last], QString("LAST"));
}

void tst_ids::trim_names_exact()
{
    const QStringList expected = {"battery trim", "MAP trim", "AUX current trim", "MAIN current trim",
                                  "Wide Band current trim", "spare trim", "LAST"};
    QCOMPARE(trim_names, expected);
    QCOMPARE(trim_names[trim_spare], QString("spare trim"));
}

void tst_ids::encode_vertical_source_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::newRow("MAP") << 0 << 0xA1;
    QTest::newRow("analog A") << 1 << 0xA2;
    QTest::newRow("analog B") << 2 << 0xA3;
    QTest::newRow("no selector entry") << 3 << 0xA4;
}

void tst_ids::encode_vertical_source()
{
    QFETCH(int, index);
    QFETCH(int, code);
    log_capture log;
    QCOMPARE(int(::encode_vertical_source(index)), code);
    QVERIFY(log.entries().isEmpty());
}

void tst_ids::encode_refuses_index_outside_selector()
{
    log_capture log;
    QCOMPARE(int(::encode_vertical_source(4)), 0);
    QCOMPARE(int(::encode_vertical_source(-1)), 0);
    QCOMPARE(log.texts(QtCriticalMsg), QStringList({"Unhandled vert axis 4", "Unhandled vert axis -1"}));
}

void tst_ids::decode_vertical_source_data()
{
    encode_vertical_source_data();
}

void tst_ids::decode_vertical_source()
{
    QFETCH(int, index);
    QFETCH(int, code);
    log_capture log;
    QCOMPARE(::decode_vertical_source(quint8(code)), index);
    QVERIFY(log.entries().isEmpty());
}

void tst_ids::decode_refuses_foreign_codes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("just below") << 0xA0 << "Unhandled vert axis 0xa0";
    QTest::newRow("just above") << 0xA5 << "Unhandled vert axis 0xa5";
    QTest::newRow("same low nibble") << 0xB1 << "Unhandled vert axis 0xb1";
    QTest::newRow("zero") << 0x00 << "Unhandled vert axis 0x00";
}

void tst_ids::decode_refuses_foreign_codes()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    log_capture log;
    QCOMPARE(::decode_vertical_source(quint8(code)), 0);
    QCOMPARE(log.texts(QtCriticalMsg), QStringList({message}));
}

void tst_ids::meta_types_registered_by_name()
{
    register_model_meta_types();
    register_model_meta_types();
    QCOMPARE(QMetaType::type("table_index"), qMetaTypeId<table_index>());
    QCOMPARE(QMetaType::type("int_index"), qMetaTypeId<int_index>());
    QCOMPARE(QMetaType::type("adc_trim_index"), qMetaTypeId<adc_trim_index>());
    QCOMPARE(QMetaType::type("struct adc_trim"), qMetaTypeId<adc_trim>());
    QCOMPARE(QMetaType::type("rv8_variant"), qMetaTypeId<rv8_variant>());
    QCOMPARE(QMetaType::type("QList<adc_trim>"), qMetaTypeId<QList<adc_trim>>());
    QCOMPARE(QMetaType::type("QList<QByteArray>"), qMetaTypeId<QList<QByteArray>>());
    QCOMPARE(QMetaType::type("FT_STATUS"), qMetaTypeId<unsigned long>());

    // A queued call carries the record by value through the registered name.
    adc_trim trim{false, 517};
    QVariant v = QVariant::fromValue(trim);
    QCOMPARE(v.value<adc_trim>(), trim);
}

QTEST_GUILESS_MAIN(tst_ids)
#include "tst_ids.moc"
