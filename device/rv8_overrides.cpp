// MAP sampling for calibration and the output overrides. Live logging resumes only after a
// successful exchange: a unit that stopped answering should not be flooded with polls again.

#include "device/rv8.h"
#include "device/rv8_protocol.h"

#include <QDebug>

using namespace rv8_protocol;

namespace {

constexpr int map_samples = 5;

QString name_of(table_index output)
{
    return table_names.value(output);
}

bool override_type(table_index output, rv8_msg_type& type)
{
    switch (output) {
    case tbl_aux:
        type = msg_override_aux;
        return true;
    case tbl_main:
        type = msg_override_main;
        return true;
    case tbl_gpo1:
        type = msg_override_gpo1;
        return true;
    case tbl_gpo2:
        type = msg_override_gpo2;
        return true;
    default:
        return false;
    }
}

// Outputs are numbered MAIN first in the reset message, unlike the table order.
bool output_number(table_index output, quint8& number)
{
    static const quint8 numbers[] = {2, 1, 3, 4};
    if (output < tbl_aux || output > tbl_gpo2)
        return false;
    number = numbers[output];
    return true;
}

void not_handled(table_index output)
{
    qCritical() << "Case" << int(output) << "Not handled";
}

} // namespace

void rv8_worker::start_map_cal()
{
    if (in_other_thread([=] { start_map_cal(); }))
        return;
    const bool was_logging = pause_logging();
    if (!is_open()) {
        qCritical("Device not open...");
        end_pause(was_logging);
        return;
    }
    QList<quint16> samples;
    for (int k = 0; k < map_samples; ++k) {
        QByteArray msg = frame(frame_read_map_sample);
        QByteArray ret;
        if (get_param(msg, ret, 2) != FT_OK) {
            qCritical("Cannot read from device...");
            end_pause(was_logging);
            return;
        }
        samples.append(quint16((quint8(ret[0]) << 8) | quint8(ret[1])));
        QThread::msleep(100);
    }
    emit map_cal_data_ready(samples);
    resume_logging(was_logging);
}

void rv8_worker::set_override(table_index output, uint duty)
{
    if (in_other_thread([=] { set_override(output, duty); }))
        return;
    const bool was_logging = pause_logging();
    qWarning().noquote().nospace() << "Override " << name_of(output) << " to " << duty;
    rv8_msg_type type;
    if (!override_type(output, type)) {
        not_handled(output);
        end_pause(was_logging);
        emit override_done(output, int(duty), FT_OTHER_ERROR);
        return;
    }
    QByteArray payload;
    payload.append(char((duty >> 8) & 0xFF));
    payload.append(char(duty & 0xFF));
    const FT_STATUS status = set_param(type, payload);
    if (status != FT_OK) {
        qCritical().noquote() << "Cannot set override for" << name_of(output);
        end_pause(was_logging);
    } else {
        resume_logging(was_logging);
    }
    emit override_done(output, int(duty), status);
}

void rv8_worker::reset_override(table_index output)
{
    if (in_other_thread([=] { reset_override(output); }))
        return;
    const bool was_logging = pause_logging();
    qWarning().noquote().nospace() << "Reset override on " << name_of(output);
    quint8 number;
    if (!output_number(output, number)) {
        not_handled(output);
        end_pause(was_logging);
        emit override_done(output, -1, FT_OTHER_ERROR);
        return;
    }
    QByteArray payload(1, char(number));
    const FT_STATUS status = set_param(msg_reset_override, payload);
    if (status != FT_OK) {
        qCritical().noquote() << "Cannot reset override for" << name_of(output);
        end_pause(was_logging);
    } else {
        resume_logging(was_logging);
    }
    emit override_done(output, -1, status);
}
