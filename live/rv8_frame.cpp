#include "live/rv8_frame.h"

#include <QDateTime>
#include <QDebug>
#include <QStringList>
#include <QVector>

#include <type_traits>

namespace {

void register_type()
{
    static const int id = qRegisterMetaType<rv8_frame>("rv8_frame");
    Q_UNUSED(id);
}

}  // namespace

template <class self, class fn>
void rv8_frame::visit(self& s, fn&& f)
{
    f(s.batt_adc);
    f(s.map_adc);
    f(s.an1_adc);
    f(s.afr);
    f(s.an2_adc);
    f(s.aux_current);
    f(s.main_current);
    f(s.rpm);
    f(s.aux_duty);
    f(s.main_duty);
    f(s.gpo1_duty);
    f(s.boost_target_low);
    f(s.boost_target_high);
    f(s.pot_boost_target);
    f(s.gpo2_duty);
    f(s.gpi1_state);
    f(s.gpi2_state);
    f(s.aux_master);
    f(s.inj_pulse_width);
    f(s.error_pol);
    f(s.coarse_mode);
    f(s.command);
    f(s.current_pos);
    f(s.error);
    f(s.previous_pid);
    f(s.pterm);
    f(s.iterm);
    f(s.dterm);
    f(s.istate);
    f(s.istate_lu);
    f(s.result);
}

rv8_frame::rv8_frame()
{
    register_type();
}

rv8_frame::rv8_frame(const QByteArray& record)
{
    register_type();
    timestamp = QDateTime::currentMSecsSinceEpoch();
    if (record.size() < record_bytes) {
        // Never read past the record; a short one carries no trustworthy values.
        qCritical().noquote() << "Live record too short:" << record.size() << "bytes";
        return;
    }
    int at = 0;
    visit(*this, [&](auto& field) {
        quint32 v = 0;
        for (size_t k = 0; k < sizeof(field); ++k)
            v = v << 8 | quint8(record[at++]);
        field = std::remove_reference_t<decltype(field)>(v);
    });
}

rv8_frame::rv8_frame(const QString& row)
{
    register_type();
    parse(row);
}

rv8_frame::rv8_frame(qint64 stamp, const std::array<quint32, value_count>& values)
{
    register_type();
    timestamp = stamp;
    size_t index = 0;
    visit(*this, [&](auto& field) { field = std::remove_reference_t<decltype(field)>(values[index++]); });
}

void rv8_frame::parse(const QString& row)
{
    const QVector<QStringRef> parts = row.splitRef(QLatin1Char(','));
    bool ok = parts.size() >= value_count + 1;
    if (ok)
        timestamp = parts[0].toLongLong(&ok, 10);
    for (int e = 0; ok && e < value_count; ++e) {
        const qulonglong v = parts[e + 1].toULongLong(&ok, 10);
        if (ok)
            set_value(e, quint32(v));
    }
    if (!ok) {
        qCritical().noquote() << "Could not parse line in log:" << row;
        *this = rv8_frame();
    }
}

QString rv8_frame::to_row() const
{
    QString row = QString::number(timestamp);
    row.reserve(200);
    visit(*this, [&](const auto& field) {
        row += QLatin1Char(',');
        row += QString::number(quint32(field));
    });
    row += QLatin1String("\r\n");
    return row;
}

QString rv8_frame::csv_header()
{
    return QStringLiteral("timestamp,batt adc,map adc,an1 adc,afr,an2 adc,aux current,main current,rpm,"
                          "aux duty,main duty,gpo1 duty,boost target low,boost target high,pot boost target,"
                          "gpo2 duty,gpi1 state,gpi2 state,aux master,inj pulse width,error pol,coarse mode,"
                          "command,current pos,error,previous pid,pterm,iterm,dterm,istate,istate lu,result\r\n");
}

quint32 rv8_frame::value(int e) const
{
    quint32 found = 0;
    int index = 0;
    visit(*this, [&](const auto& field) {
        if (index++ == e)
            found = field;
    });
    return found;
}

std::array<quint32, rv8_frame::value_count> rv8_frame::values() const
{
    std::array<quint32, value_count> all;
    size_t index = 0;
    visit(*this, [&](const auto& field) { all[index++] = field; });
    return all;
}

void rv8_frame::set_value(int e, quint32 v)
{
    int index = 0;
    visit(*this, [&](auto& field) {
        if (index++ == e)
            field = std::remove_reference_t<decltype(field)>(v);
    });
}

bool rv8_frame::operator==(const rv8_frame& other) const
{
    return timestamp == other.timestamp && values() == other.values();
}
