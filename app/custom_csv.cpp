#include "app/custom_csv.h"

#include <QFile>
#include <QtDebug>

#include <cmath>

namespace {
QString unquoted(QString field)
{
    field = field.trimmed();
    if (field.size() >= 2 && field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"')))
        field = field.mid(1, field.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return field;
}

template <typename... A>
bool fail(const char* format, A... args)
{
    QString text = QString::fromUtf8(format);
    for (const QString& a : {QString(args)...})
        text.replace(text.indexOf(QStringLiteral("{}")), 2, a);
    qCritical().noquote() << text;
    return false;
}
}

bool parse_cust_an_csv(const QString& path, QString& name, QVector<double>& values)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCritical().noquote() << file.errorString();
        return false;
    }
    return parse_cust_an_text(file.readAll(), name, values);
}

bool parse_cust_an_text(const QByteArray& text, QString& name, QVector<double>& values)
{
    values.clear();
    values.reserve(1024);
    name.clear();
    bool header_seen = false;
    int expected = 0;
    const QList<QByteArray> lines = text.split('\n');
    // A final line end does not start another line.
    const int count = lines.size() - (text.endsWith('\n') ? 1 : 0);
    for (int n = 0; n < count; ++n) {
        QString line = QString::fromUtf8(lines[n]);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString number = QString::number(n + 1);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        if (!header_seen) {
            name = unquoted(line.section(QLatin1Char(','), 0, 0)).simplified();
            header_seen = true;
            continue;
        }
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() != 2)
            return fail("Value on line {} needs two values separated by a comma", number);
        bool ok = false;
        const QString adc_text = unquoted(fields[0]);
        const double adc = adc_text.toDouble(&ok);
        if (!ok || !std::isfinite(adc))
            return fail("Error converting ADC on line {}: '{}'", number, adc_text);
        if (adc != expected)
            return fail("ADC on line {} not the expected value of {}", number, QString::number(expected));
        const QString value_text = unquoted(fields[1]);
        const double value = value_text.toDouble(&ok);
        // A table entry of infinity or NaN would reach every read-out.
        if (!ok || !std::isfinite(value))
            return fail("Error converting value on line {}: '{}'", number, value_text);
        values.append(value);
        ++expected;
    }
    if (values.size() != 1024)
        return fail("Missing {} values, must have 1024", QString::number(1024 - values.size()));
    return true;
}
