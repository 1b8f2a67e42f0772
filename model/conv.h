#pragma once
// Turns the unit's 10-bit ADC counts into volts, amps and boost in the chosen unit, and back.
// One instance is shared by the window and the four duty tables; GUI thread only.

#include <QObject>
#include <QString>
#include <QVector>

class converter : public QObject {
    Q_OBJECT
public:
    static constexpr int adc_max = 1023;
    // The analog inputs read 0 to 5 V as 0 to 1023 counts.
    static constexpr double counts_per_volt = adc_max / 5.0;
    static double adc2volt(double counts) { return counts / counts_per_volt; }
    // The current sensors read 20.48 counts per amp.
    static constexpr double counts_per_amp = 20.48;
    static double adc2amps(double counts) { return counts / counts_per_amp; }
    // The battery input's divider: 54.21 counts per volt.
    static constexpr double battery_counts_per_volt = 54.2117647;
    static double adc2battery(double counts) { return counts / battery_counts_per_volt; }

    converter();

    // Counts for a voltage on a 0..5 V input; negative volts are refused with 0.
    quint16 volt2adc(double volts);
    // Counts for an output current; negative amps are refused with 0.
    quint16 current2adc(double amps);

    // Boost in the current unit to counts and back.
    quint16 boost2adc(double boost) const;
    double adc2boost(quint16 counts) const;
    // The deadband is always in PSI, whatever unit boost is shown in.
    quint16 deadband2adc(double psi) const;
    int adc2deadband(quint16 counts) const;

    double adc2ana_a(quint16 counts) const;
    double adc2ana_b(quint16 counts) const;

    // The range a MAP sensor with the active calibration can report, in the current unit.
    double min_boost() const { return adc2boost(0); }
    double max_boost() const { return adc2boost(adc_max); }

    void set_boost_units(int units);
    double boost_factor() const { return boost_fac; }
    const QString& boost_unit_name() const { return boost_name; }
    int boost_decimals() const { return boost_dec; }

    double base_intercept() const { return base_icept; }
    quint16 base_atm() const { return base_atmos; }
    double act_slope() const { return active_slope; }
    double act_intercept() const { return active_icept; }
    quint16 act_atm() const { return active_atmos; }
    double act_deadband() const { return active_deadband; }

    void set_base_intercept(double intercept) { base_icept = intercept; }
    void set_base_atm(quint16 atm) { base_atmos = atm; }
    // A slope of 0 (or one too small to divide by) would turn every count into infinite boost;
    // it is refused with a warning and the previous slope kept.
    void set_act_slope(double slope);
    void set_act_intercept(double intercept) { active_icept = intercept; }
    void set_act_deadband(double psi) { active_deadband = psi; }
    // A new atmospheric reading moves the intercept by the same amount the factory point had.
    void set_act_atm(double reading);

    const QVector<double>& custom_ana() const { return ana_a; }
    const QVector<double>& custom_anb() const { return ana_b; }
    // Expect 1024 entries; anything else is refused and the table is kept. Returns success.
    bool set_custom_ana(const QVector<double>& table);
    bool set_custom_anb(const QVector<double>& table);

    // count * 5 / 1023 volts, to 9 decimals, for every count.
    static const QVector<double>& default_analog_table();

    // Nearest integer with halves away from zero, limited to 0..1023; NaN gives 0.
    static quint16 to_counts(double value);

signals:
    void act_intercept_recalc(double act_intercept);

public slots:
    void set_custom_ana_defaults();
    void set_custom_anb_defaults();

private:
    double base_icept = 222.312;
    quint16 base_atmos = 223;
    double active_slope = 16.122;
    double active_icept = 222.312;
    quint16 active_atmos = 223;
    double active_deadband = 3.0;
    double boost_fac = 1.0;
    QString boost_name = QStringLiteral("PSI");
    int boost_dec = 0;
    QVector<double> ana_a;
    QVector<double> ana_b;
};
