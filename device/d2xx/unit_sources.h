#pragma once
#include "device/d2xx/serial_provider.h"
#include "device/d2xx/virtual_provider.h"
#include "sim/sim_unit.h"

#include <QString>
#include <memory>

// Where a program finds units: the machine's FTDI serial ports, ports named on the command line
// and virtual units hosted in the process. Both providers stay registered with the D2XX registry
// for the life of this object, serial ports first.
class unit_sources {
public:
    explicit unit_sources(bool discover_serial = true);
    ~unit_sources();
    unit_sources(const unit_sources&) = delete;
    unit_sources& operator=(const unit_sources&) = delete;

    // "PATH[,DESCRIPTION[,SERIAL]]"; the description defaults to the unit's "KIRRA 3" and the
    // serial to one made from the path. False with *error set when the text is not usable.
    bool add_port_spec(const QString& spec, QString* error);
    std::shared_ptr<virtual_device> add_virtual_unit(const sim_config& config = {},
                                                     const QString& serial = QStringLiteral("RV8V0001"));

    // Accepts decimal or 0x-prefixed hexadecimal up to 0xFFFF.
    static bool parse_fw_version(const QString& text, quint16* version);
    // "sx" or "s", in any case, as the byte the unit reports for its variant.
    static bool parse_variant(const QString& text, quint8* variant_byte);
    static QString serial_for_path(const QString& path);

    serial_provider& serial() { return serial_ports; }
    virtual_provider& virtuals() { return virtual_units; }

private:
    serial_provider serial_ports;
    virtual_provider virtual_units;
};
