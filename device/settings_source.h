#pragma once
// What a file offered to Open holds, told from its first lines without loading it: the whole of a
// recorded log would otherwise be parsed as settings.

#include <QString>

struct settings_source {
    enum kind_t { settings_file, recorded_log, not_settings, unreadable };
    kind_t kind = not_settings;
    QString reason; // for the last two: why it cannot be opened, in a user's words
};

settings_source inspect_settings_source(const QString& path);
