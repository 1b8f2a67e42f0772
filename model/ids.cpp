#include "model/ids.h"

#include "device/d2xx/ftd2xx.h"

#include <QDebug>

const QStringList table_names = {
    "AUX duty table",
    "MAIN duty table",
    "GPO1 duty table",
    "GPO2 duty table",
    "Wide Band duty table",
    "Air Fuel Ratio table",
    "LAST",
};

const QStringList int_names = {
    "RPM scaler",
    "pump prime delay",
    "boost step",
    "battery value",
    "MAP value",
    "Wide Band value",
    "AUX current",
    "MAIN current",
    "SPARE ADC",
    "MAIN pulse width",
    "PID parameters",
    "GPI1 state",
    "GPI2 state",
    "Main mode",
    "AUX mode",
    "GPO1 mode",
    "GPO2 mode",
    "GPI1 mode",
    "GPI1 request",
    "GPI2 mode",
    "GPI2 request",
    "Base Slope",
    "Base Intercept",
    "Base Atmospheric",
    "Active Slope",
    "Active Intercept",
    "Active Atmospheric",
    "Active Deadband",
    "Variant",
    "Min Boost",
    "Max Boost",
    "Min ANA Input",
    "Max ANA Input",
    "Min ANB Input",
    "Max ANB Input",
    "GPI1 act delay",
    "GPI1 deact delay",
    "GPI2 act delay",
    "GPI2 deact delay",
    "Brennix Version",
    "RV8 FW Version",
    "LAST",
};

const QStringList trim_names = {
    "battery trim",
    "MAP trim",
    "AUX current trim",
    "MAIN current trim",
    "Wide Band current trim",
    "spare trim",
    "LAST",
};

const boost_unit boost_units_table[boost_unit_count] = {
    {"PSI", 1.0, 0, 1.0},
    {"Bar", 0.0689475729, 2, 0.1},
    {"kPa", 6.89475729, 2, 0.1},
};

quint8 encode_vertical_source(int index)
{
    if (index < 0 || index > 3) {
        qCritical() << "Unhandled vert axis" << index;
        return 0;
    }
    return quint8(vert_source_map + index);
}

int decode_vertical_source(quint8 code)
{
    if (code < vert_source_map || code > vert_source_spare) {
        qCritical().nospace() << "Unhandled vert axis 0x" << QByteArray(1, char(code)).toHex().constData();
        return 0;
    }
    return (code & 0x0F) - 1;
}

void register_model_meta_types()
{
    qRegisterMetaType<FT_STATUS>("FT_STATUS");
    qRegisterMetaType<table_index>("table_index");
    qRegisterMetaType<int_index>("int_index");
    qRegisterMetaType<adc_trim_index>("adc_trim_index");
    qRegisterMetaType<adc_trim>("adc_trim");
    qRegisterMetaType<adc_trim>("struct adc_trim");
    qRegisterMetaType<rv8_variant>("rv8_variant");
    qRegisterMetaType<QList<QByteArray>>("QList<QByteArray>");
    qRegisterMetaType<QList<quint32>>("QList<quint32>");
    qRegisterMetaType<QList<unsigned int>>("QList<unsigned int>");
    qRegisterMetaType<QList<quint16>>("QList<quint16>");
    qRegisterMetaType<QList<adc_trim>>("QList<adc_trim>");
    qRegisterMetaType<QList<QString>>("QList<QString>");
    qRegisterMetaType<QList<int>>("QList<int>");
}
