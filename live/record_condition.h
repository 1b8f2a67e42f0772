#pragma once
// When a recording starts or stops: a live channel compared with a value in user units, held for a
// time ("rpm>3000 for 0.5"). The window's event rows and brennix-cli's --start-when/--stop-when
// both come down to this.

#include <QString>

class channel_scale;

struct record_condition {
    // In the order the window's comparison selector lists them.
    enum comparison { at_least, above, below, at_most };

    int channel = -1; // live_channels::id
    comparison op = above;
    double value = 0;
    double hold_s = 0;

    bool valid() const;
    bool holds(double v) const;
    static const char* symbol(comparison op);

    // "rpm>3000 for 0.5"; the hold is left out when it is 0.
    QString text() const;
    // "Engine speed > 3000 RPM for 0.5 s"
    QString describe(const channel_scale& scale) const;
    // False with a sentence saying what is wrong; out is then untouched.
    static bool parse(const QString& text, record_condition* out, QString* error);
};
