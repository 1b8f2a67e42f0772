#include "device/d2xx/unit_sources.h"
#include "device/d2xx/d2xx_registry.h"

#include <QRegularExpression>

unit_sources::unit_sources(bool discover_serial)
    : serial_ports(discover_serial)
{
    d2xx_registry::instance().add_provider(&serial_ports);
    d2xx_registry::instance().add_provider(&virtual_units);
}

unit_sources::~unit_sources()
{
    d2xx_registry::instance().remove_provider(&virtual_units);
    d2xx_registry::instance().remove_provider(&serial_ports);
}

QString unit_sources::serial_for_path(const QString& path)
{
    // The device list keeps 15 bytes of a serial; letters and digits of the path's end fit.
    QString tail = path;
    tail.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
    return QStringLiteral("P") + tail.right(14).toUpper();
}

bool unit_sources::add_port_spec(const QString& spec, QString* error)
{
    const QStringList parts = spec.split(QLatin1Char(','));
    const QString path = parts.value(0).trimmed();
    if (parts.size() > 3 || path.isEmpty()) {
        *error = QStringLiteral("--port wants PATH[,DESCRIPTION[,SERIAL]], got \"%1\"").arg(spec);
        return false;
    }
    if (!path.startsWith(QLatin1Char('/'))) {
        *error = QStringLiteral("--port wants an absolute device path such as /dev/pts/4, got \"%1\"").arg(path);
        return false;
    }
    QString description = parts.value(1).trimmed();
    if (description.isEmpty())
        description = QStringLiteral("KIRRA 3");
    QString serial = parts.value(2).trimmed();
    if (serial.isEmpty())
        serial = serial_for_path(path);
    if (serial.toUtf8().size() > 15) {
        *error = QStringLiteral("--port serial \"%1\" is longer than the 15 bytes a device list holds").arg(serial);
        return false;
    }
    serial_ports.add_port(path, description, serial);
    return true;
}

std::shared_ptr<virtual_device> unit_sources::add_virtual_unit(const sim_config& config, const QString& serial)
{
    return virtual_units.add_unit(std::make_shared<sim_unit>(config), serial);
}

bool unit_sources::parse_fw_version(const QString& text, quint16* version)
{
    // A leading zero means decimal here, not octal: "0167" is not 119.
    const QString t = text.trimmed();
    const bool hex = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    bool ok = false;
    const uint value = hex ? t.mid(2).toUInt(&ok, 16) : t.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF)
        return false;
    *version = quint16(value);
    return true;
}

bool unit_sources::parse_variant(const QString& text, quint8* variant_byte)
{
    const QString v = text.trimmed().toLower();
    if (v == QLatin1String("sx"))
        *variant_byte = 0xAA;
    else if (v == QLatin1String("s"))
        *variant_byte = 0x55;
    else
        return false;
    return true;
}
