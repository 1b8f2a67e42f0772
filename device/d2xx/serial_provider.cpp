#include "device/d2xx/serial_provider.h"
#include "device/d2xx/serial_port.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QSerialPortInfo>

namespace {
const quint16 ftdi_vendor_id = 0x0403;
}

serial_provider::serial_provider(bool discover, const QString& sysfs_root)
    : discover(discover), sysfs_root(sysfs_root)
{
}

void serial_provider::add_port(const QString& path, const QString& description, const QString& serial_number)
{
    QMutexLocker lock(&mutex);
    for (listed_port& port : named)
        if (port.path == path) {
            port.info.description = description;
            port.info.serial_number = serial_number;
            return;
        }
    listed_port port;
    port.path = path;
    port.info.description = description;
    port.info.serial_number = serial_number;
    named.append(port);
}

void serial_provider::remove_port(const QString& path)
{
    QMutexLocker lock(&mutex);
    for (int i = named.size() - 1; i >= 0; --i)
        if (named[i].path == path)
            named.remove(i);
}

QVector<serial_provider::listed_port> serial_provider::discovered() const
{
    QVector<listed_port> found;
    if (!discover)
        return found;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (!info.hasVendorIdentifier() || info.vendorIdentifier() != ftdi_vendor_id)
            continue;
        listed_port port;
        port.path = info.systemLocation();
        port.info.description = info.description();
        port.info.serial_number = info.serialNumber();
        port.info.id = (ULONG(info.vendorIdentifier()) << 16) | info.productIdentifier();
        found.append(port);
    }
    return found;
}

QVector<serial_provider::listed_port> serial_provider::scan()
{
    QVector<listed_port> ports = discovered();
    QMutexLocker lock(&mutex);
    for (const listed_port& port : named) {
        if (!QFileInfo::exists(port.path))
            continue;
        const QString target = QFileInfo(port.path).canonicalFilePath();
        for (int i = ports.size() - 1; i >= 0; --i)
            if (QFileInfo(ports[i].path).canonicalFilePath() == target)
                ports.remove(i);
        ports.append(port);
    }
    return ports;
}

QList<d2xx_device_info> serial_provider::devices()
{
    QList<d2xx_device_info> infos;
    for (const listed_port& port : scan())
        infos.append(port.info);
    return infos;
}

QString serial_provider::sysfs_dir(const QString& path) const
{
    // Through /dev/serial/by-id links to the kernel's name, which is the one sysfs knows.
    const QString name = QFileInfo(QFileInfo(path).canonicalFilePath()).fileName();
    const QString dir = sysfs_root + QLatin1Char('/') + name;
    return !name.isEmpty() && QFileInfo(dir).isDir() ? dir : QString();
}

std::unique_ptr<d2xx_port> serial_provider::open(const QString& serial_number, FT_STATUS* status)
{
    for (const listed_port& port : scan()) {
        if (port.info.serial_number != serial_number)
            continue;
        const int fd = serial_port::open_raw(port.path, status);
        if (fd < 0)
            return nullptr;
        return std::make_unique<serial_port>(fd, port.path, sysfs_dir(port.path));
    }
    *status = FT_DEVICE_NOT_FOUND;
    return nullptr;
}
