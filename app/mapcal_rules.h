#pragma once
// The two numbers of calibration and overrides that a user can check by hand.

#include <QList>
#include <QtGlobal>

// The new atmospheric reading: the samples' mean, rounded down as the unit truncates its own.
quint16 map_cal_atmosphere(const QList<quint16>& samples);
// A percentage as the unit's 10-bit duty; above 100 is full duty.
uint override_duty(int percent);
