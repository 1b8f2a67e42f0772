#pragma once
// The check an image passes before the unit is restarted into its bootloader. Once the old
// application is erased a refused line leaves the unit without firmware, so everything the transfer
// or the bootloader would stumble over is found here, with the first bad line named.

#include <QByteArray>
#include <QString>

#include <optional>

struct fw_image_report {
    bool ok;
    int line;       // 1-based, 0 = the whole file
    QString reason; // one line, empty when ok
};

fw_image_report check_fw_image_data(const QByteArray& data, const QString& file_name);
// Reads the file first; a file that cannot be read is a report too.
fw_image_report check_fw_image(const QString& path);

// The version the unit takes from the image: the first "MAVO" in the data of its ':' records,
// followed by four hex digits. Empty when there is none (or the records are '|' lines).
std::optional<quint16> fw_image_version(const QByteArray& data);
