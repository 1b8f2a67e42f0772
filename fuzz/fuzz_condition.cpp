// Recording conditions come from the command line and from the settings file: any text must be
// read safely, and a condition that reads must come back unchanged through its own text form.

#include "live/record_condition.h"

#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    record_condition c;
    QString error;
    if (!record_condition::parse(text, &c, &error)) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    record_condition again;
    if (!record_condition::parse(c.text(), &again, &error) || again.channel != c.channel || again.op != c.op
        || again.value != c.value || again.hold_s != c.hold_s)
        __builtin_trap();
    return 0;
}
