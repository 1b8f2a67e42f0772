#include "tables/dwell_shading.h"

#include <cmath>

namespace dwell_shading {

namespace {
// Pale yellow to dark brown through orange: apart from the duty scale's blues, greens and reds.
const QColor ramp[] = {QColor(255, 240, 160), QColor(254, 196, 79), QColor(236, 112, 20), QColor(153, 52, 4)};
constexpr int ramp_steps = int(sizeof ramp / sizeof ramp[0]) - 1;
}

double heat(double seconds, double minimum, double longest)
{
    if (!(seconds >= minimum) || !(seconds > 0))
        return -1;
    const double low = std::max(minimum, 1e-3);
    if (!(longest > low))
        return 1;
    return std::clamp(std::log(seconds / low) / std::log(longest / low), 0.0, 1.0);
}

QColor colour(double h)
{
    if (h < 0)
        return QColor();
    const double at = std::clamp(h, 0.0, 1.0) * ramp_steps;
    const int i = std::min(int(at), ramp_steps - 1);
    const double f = at - i;
    const QColor& a = ramp[i];
    const QColor& b = ramp[i + 1];
    return QColor(int(std::lround(a.red() + (b.red() - a.red()) * f)),
                  int(std::lround(a.green() + (b.green() - a.green()) * f)),
                  int(std::lround(a.blue() + (b.blue() - a.blue()) * f)));
}

QVector<QColor> colours(const dwell_map& map, double minimum)
{
    QVector<QColor> out;
    out.reserve(dwell_map::size * dwell_map::size);
    const double longest = map.max_seconds();
    for (int row = 0; row < dwell_map::size; ++row)
        for (int column = 0; column < dwell_map::size; ++column)
            out << colour(heat(map.at(row, column).seconds, minimum, longest));
    return out;
}

QVector<double> heats(const dwell_map& map, double minimum)
{
    QVector<double> out;
    out.reserve(dwell_map::size * dwell_map::size);
    const double longest = map.max_seconds();
    for (int row = dwell_map::size - 1; row >= 0; --row)
        for (int column = 0; column < dwell_map::size; ++column)
            out << heat(map.at(row, column).seconds, minimum, longest);
    return out;
}

QString tip(const dwell_map& map, int row, int column)
{
    const dwell_cell& c = map.at(row, column);
    QString text = QStringLiteral("%1 s, %2 hits, mean duty %3 %")
                       .arg(QString::number(c.seconds, 'f', 1))
                       .arg(c.hits)
                       .arg(QString::number(c.mean_duty(), 'f', 1));
    if (map.source().current_column >= 0)
        text += QStringLiteral(", mean current %1 A").arg(QString::number(c.mean_current(), 'f', 2));
    return text;
}

} // namespace dwell_shading
