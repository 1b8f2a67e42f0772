#include "live/record_condition.h"

#include "live/live_channels.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

bool record_condition::valid() const
{
    return channel >= 0 && channel < live_channels::count && std::isfinite(value) && std::isfinite(hold_s) && hold_s >= 0;
}

bool record_condition::holds(double v) const
{
    switch (op) {
    case at_least:
        return v >= value;
    case above:
        return v > value;
    case below:
        return v < value;
    case at_most:
        return v <= value;
    }
    return false;
}

const char* record_condition::symbol(comparison op)
{
    static const char* const symbols[] = {">=", ">", "<", "<="};
    return symbols[op];
}

QString record_condition::text() const
{
    if (!valid())
        return QString();
    // The shortest text that reads back as the same number.
    QString t = QLatin1String(live_channels::all()[size_t(channel)].key) + QLatin1String(symbol(op))
                + QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (hold_s > 0)
        t += QStringLiteral(" for ") + QString::number(hold_s, 'g', QLocale::FloatingPointShortest);
    return t;
}

QString record_condition::describe(const channel_scale& scale) const
{
    if (!valid())
        return QString();
    const QString unit = scale.unit(channel);
    QString t = QStringLiteral("%1 %2 %3").arg(QLatin1String(live_channels::all()[size_t(channel)].name),
                                                 QLatin1String(symbol(op)), QString::number(value, 'g', 12));
    if (!unit.isEmpty())
        t += QLatin1Char(' ') + unit;
    if (hold_s > 0)
        t += QStringLiteral(" for %1 s").arg(QString::number(hold_s, 'g', 12));
    return t;
}

bool record_condition::parse(const QString& text, record_condition* out, QString* error)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*([A-Za-z_][A-Za-z0-9_]*)\s*(>=|<=|>|<)\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)\s*)"
        R"((?:for\s+(\+?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)\s*s?\s*)?$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) {
        *error = QStringLiteral("cannot read \"%1\": write CHANNEL OP VALUE [for SECONDS], for example "
                                "\"rpm>3000 for 0.5\"").arg(text);
        return false;
    }
    const int channel = live_channels::find(m.captured(1));
    if (channel < 0) {
        *error = QStringLiteral("\"%1\" is no live channel; channels are %2")
                     .arg(m.captured(1), live_channels::keys().join(QStringLiteral(", ")));
        return false;
    }
    static const QStringList ops = {QStringLiteral(">="), QStringLiteral(">"), QStringLiteral("<"), QStringLiteral("<=")};
    record_condition c;
    c.channel = channel;
    c.op = comparison(ops.indexOf(m.captured(2)));
    c.value = m.captured(3).toDouble();
    c.hold_s = m.captured(4).isEmpty() ? 0.0 : m.captured(4).toDouble();
    if (!c.valid()) {
        *error = QStringLiteral("cannot read \"%1\": the value or the time is out of range").arg(text);
        return false;
    }
    *out = c;
    return true;
}
