// Display names are keys in settings files, so they are checked character for character.

#include "model/ids.h"
#include "tests/support/log_capture.h"

#include <QtTest>

class tst_ids : public QObject {
    Q_OBJECT

private slots:
    void names_exact()
    {
        QCOMPARE(table_names, QStringList({"AUX duty table", "MAIN duty table", "GPO1 duty table", "GPO2 duty table",
                                           "Wide Band duty table", "Air Fuel Ratio table", "LAST"}));
        QCOMPARE(int_names,
                 QStringList({"RPM scaler", "pump prime delay", "boost step", "battery value", "MAP value",
                              "Wide Band value", "AUX current", "MAIN current", "SPARE ADC", "MAIN pulse width",
                              "PID parameters", "GPI1 state", "GPI2 state", "Main mode", "AUX mode", "GPO1 mode",
                              "GPO2 mode", "GPI1 mode", "GPI1 request", "GPI2 mode", "GPI2 request", "Base Slope",
                              "Base Intercept", "Base Atmospheric", "Active Slope", "Active Intercept",
                              "Active Atmospheric", "Active Deadband", "Variant", "Min Boost", "Max Boost",
                              "Min ANA Input", "Max ANA Input", "Min ANB Input", "Max ANB Input", "GPI1 act delay",
                              "GPI1 deact delay", "GPI2 act delay", "GPI2 deact delay", "Brennix Version",
                              "RV8 FW Version", "LAST"}));
        QCOMPARE(trim_names, QStringList({"battery trim", "MAP trim", "AUX current trim", "MAIN current trim",
                                          "Wide Band current trim", "spare trim", "LAST"}));
    }

    // MAP, analog A, analog B, and 0xA4 for the source the selector has no entry for.
    void vertical_source()
    {
        log_capture log;
        for (int index = 0; index < 4; ++index) {
            const int code = std::array<int, 4>{0xA1, 0xA2, 0xA3, 0xA4}[size_t(index)];
            QCOMPARE(int(encode_vertical_source(index)), code);
            QCOMPARE(decode_vertical_source(quint8(code)), index);
        }
        QVERIFY(log.entries().isEmpty());
        QCOMPARE(int(encode_vertical_source(4)), 0);
        QCOMPARE(int(encode_vertical_source(-1)), 0);
        for (int code : {0xA0, 0xA5, 0xB1, 0x00})
            QCOMPARE(decode_vertical_source(quint8(code)), 0);
        QCOMPARE(log.texts(QtCriticalMsg),
                 QStringList({"Unhandled vert axis 4", "Unhandled vert axis -1", "Unhandled vert axis 0xa0",
                              "Unhandled vert axis 0xa5", "Unhandled vert axis 0xb1", "Unhandled vert axis 0x00"}));
    }
};

QTEST_GUILESS_MAIN(tst_ids)
#include "tst_ids.moc"
