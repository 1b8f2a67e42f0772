#pragma once
// One live sample: when it was taken and the 31 raw values the unit reported, unconverted.

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <array>

class rv8_frame {
public:
    static const int value_count = 31;
    // Bytes of a live record that carry values; the two trailer bytes follow them.
    static const int record_bytes = 68;

    rv8_frame();
    // From a live record; the time stamp is the time of decoding.
    explicit rv8_frame(const QByteArray& record);
    // From a data row of a live-log file; a bad row gives an all-zero frame.
    explicit rv8_frame(const QString& row);
    // Values in column order; each keeps the low bits that fit its field.
    rv8_frame(qint64 timestamp, const std::array<quint32, value_count>& values);

    // The data row for a live-log file, "\r\n" included.
    QString to_row() const;
    static QString csv_header();

    // Value of column e (0 to 30, in column order), widened to 32 bits.
    quint32 value(int e) const;
    std::array<quint32, value_count> values() const;
    void set_value(int e, quint32 v);

    bool operator==(const rv8_frame& other) const;
    bool operator!=(const rv8_frame& other) const { return !(*this == other); }

    qint64 timestamp = 0;  // milliseconds since the epoch
    quint16 batt_adc = 0;
    quint16 map_adc = 0;
    quint16 an1_adc = 0;
    quint16 afr = 0;
    quint16 an2_adc = 0;
    quint16 aux_current = 0;
    quint16 main_current = 0;
    quint16 rpm = 0;
    quint16 aux_duty = 0;
    quint16 main_duty = 0;
    quint16 gpo1_duty = 0;
    quint16 boost_target_low = 0;
    quint16 boost_target_high = 0;
    quint16 pot_boost_target = 0;
    quint16 gpo2_duty = 0;
    quint8 gpi1_state = 0;
    quint8 gpi2_state = 0;
    quint8 aux_master = 0;
    quint16 inj_pulse_width = 0;
    quint8 error_pol = 0;
    quint8 coarse_mode = 0;
    quint16 command = 0;
    quint16 current_pos = 0;
    quint32 error = 0;
    quint8 previous_pid = 0;
    quint32 pterm = 0;
    quint32 iterm = 0;
    quint32 dterm = 0;
    quint32 istate = 0;
    quint16 istate_lu = 0;
    quint32 result = 0;

private:
    // Calls f on every value field in column order; the field's type gives its width.
    template <class self, class fn>
    static void visit(self& s, fn&& f);
    void parse(const QString& row);
};

Q_DECLARE_METATYPE(rv8_frame)
