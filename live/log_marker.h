#pragma once
// A point of interest in a recording, at a record (by its time stamp), with an optional note. In a
// .bnlog it is a comment line, "# marker 1765000000123 Note", so readers that skip comments read
// the same rows as before.

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <string_view>

struct log_marker {
    qint64 stamp = 0;
    QString note;

    // The line with its "\r\n"; a note's line breaks and other control characters become spaces,
    // since a line break would end the comment and begin a row no reader could take.
    QByteArray to_line() const;
    // A marker line (trimmed, as the log reader hands it out); false for every other line.
    static bool from_line(std::string_view line, log_marker* out);
    // Every control character of a note as a space, and no blanks around it.
    static QString clean_note(const QString& note);

    bool operator==(const log_marker& o) const { return stamp == o.stamp && note == o.note; }
};

Q_DECLARE_METATYPE(log_marker)
