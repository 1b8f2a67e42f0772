#pragma once
// The lines of a firmware image as the transfer sends them to the bootloader.

#include <QByteArray>
#include <QVector>

struct fw_line {
    QByteArray text; // cut to 63 characters, trimmed, ended by "\r"
    int number;      // the file line it came from, counting every line from 1; 0: sent ahead of the first
};

// The ':' and '|' lines in order, with the extended address record ahead of a first ':' record
// that is not that record itself. Blank lines and any others are skipped but still counted.
QVector<fw_line> fw_transfer_lines(const QByteArray& image);
