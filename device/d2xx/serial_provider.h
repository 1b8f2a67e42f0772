#pragma once
#include "device/d2xx/d2xx_provider.h"

#include <QMutex>
#include <QString>
#include <QVector>

// The machine's FTDI USB serial ports, plus ports named by hand (a pseudo-terminal standing in
// for a unit, or a bridge with an unusual vendor id). Named ports are listed while their path
// exists, after the discovered ones.
class serial_provider : public d2xx_provider {
public:
    // sysfs_root is where the usb-serial bus keeps its devices; tests point it elsewhere.
    explicit serial_provider(bool discover = true,
                             const QString& sysfs_root = QStringLiteral("/sys/bus/usb-serial/devices"));

    void add_port(const QString& path, const QString& description, const QString& serial_number);
    void remove_port(const QString& path);

    QList<d2xx_device_info> devices() override;
    std::unique_ptr<d2xx_port> open(const QString& serial_number, FT_STATUS* status) override;

private:
    struct listed_port {
        QString path;
        d2xx_device_info info;
    };

    QVector<listed_port> scan();
    QVector<listed_port> discovered() const;
    QString sysfs_dir(const QString& path) const;

    const bool discover;
    const QString sysfs_root;
    QMutex mutex;
    QVector<listed_port> named;
};
