#pragma once
#include <QString>
#include <QVector>

// A custom analog conversion: an optional comment block, a header whose first field names the
// unit, then "ADC, value" for every count 0 to 1023. Spreadsheets may quote fields and end lines
// with CR LF. On failure one critical message names the first bad line; name and values are
// then not to be used.
bool parse_cust_an_csv(const QString& path, QString& name, QVector<double>& values);
// The same for text already read, for the fuzzer and for callers that have it in memory.
bool parse_cust_an_text(const QByteArray& text, QString& name, QVector<double>& values);
