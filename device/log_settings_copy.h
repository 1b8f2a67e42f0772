#pragma once
// The settings section of a live-log file copied line by line into a settings file of its own, so
// that the settings reader can load it as it loads any other.

#include <QString>
#include <QTemporaryFile>

#include <string_view>

class log_settings_copy {
public:
    // Opens the scratch file; false, with the message logged, when it cannot be made.
    bool begin(const QString& log_name);
    void add(std::string_view line);
    // Closes the copy; the file lasts as long as this object.
    QString finish();

private:
    QTemporaryFile file;
};
