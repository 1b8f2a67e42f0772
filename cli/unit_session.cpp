#include "cli/unit_session.h"

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/unit_filter.h"
#include "model/restore_points.h"
#include "model/write_group.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPortInfo>

unit_session::unit_session(const cli_options& options)
    : sources(true), virtual_store(options.virtual_store), wanted_serial(options.serial)
{
    for (const QString& port : options.ports) {
        QString error;
        if (!sources.add_port_spec(port, &error))
            throw cli_failure{exit_usage, error};
        const QStringList parts = port.split(QLatin1Char(','));
        const QString path = parts.value(0).trimmed();
        const QString serial = parts.value(2).trimmed();
        named_ports.insert(serial.isEmpty() ? unit_sources::serial_for_path(path) : serial, path);
    }
    if (options.virtual_unit) {
        virtual_unit = sources.add_virtual_unit(options.virtual_config);
        QString error;
        bool loaded = true;
        if (!virtual_store.isEmpty() && QFileInfo::exists(virtual_store))
            virtual_unit->with([&](sim_unit* unit, virtual_faults&) { loaded = unit->memory().load(virtual_store, &error); });
        if (!loaded)
            throw cli_failure{exit_usage, QStringLiteral("cannot load the virtual unit's memory from %1: %2")
                                              .arg(virtual_store, error)};
    }
    if (!wanted_serial.isEmpty())
        filter = std::make_unique<unit_filter>(providers(), wanted_serial);
}

unit_session::~unit_session()
{
    controller.reset(); // closes the link: the stream is switched off before anything else goes
    if (virtual_unit && !virtual_store.isEmpty()) {
        QString error;
        bool saved = true;
        virtual_unit->with([&](sim_unit* unit, virtual_faults&) { saved = unit->memory().save(virtual_store, &error); });
        if (!saved)
            console::err(QStringLiteral("brennix-cli: cannot save the virtual unit's memory to %1: %2").arg(virtual_store, error));
    }
}

QList<unit_session::found> unit_session::devices()
{
    QMap<QString, QString> usb_ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        usb_ports.insert(info.serialNumber(), info.systemLocation());
    QList<found> out;
    DWORD count = 0;
    if (FT_CreateDeviceInfoList(&count) != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("cannot list the USB devices; unplug and replug the unit")};
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(std::max<DWORD>(count, 1));
    if (count && FT_GetDeviceInfoList(nodes.data(), &count) != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("cannot list the USB devices; unplug and replug the unit")};
    for (DWORD i = 0; i < count; ++i) {
        const QString serial = QString::fromUtf8(nodes[i].SerialNumber);
        QString port = named_ports.value(serial, usb_ports.value(serial));
        if (port.isEmpty() && virtual_unit && virtual_unit->info().serial_number == serial)
            port = QStringLiteral("virtual");
        out.append({QString::fromUtf8(nodes[i].Description), serial, port});
    }
    return out;
}

// Each provider asked once: one scan of the serial ports. Port paths are for `list` alone.
QList<unit_session::held> unit_session::units()
{
    QList<held> out;
    for (d2xx_provider* p : providers())
        for (const d2xx_device_info& info : p->devices())
            if (info.description == QLatin1String("KIRRA 3") && (wanted_serial.isEmpty() || info.serial_number == wanted_serial))
                out.append({p, info});
    return out;
}

void unit_session::open()
{
    const QList<held> found = units();
    QStringList serials;
    for (const held& h : found)
        serials << h.info.serial_number;
    if (found.isEmpty() && !wanted_serial.isEmpty())
        throw cli_failure{exit_no_unit, QStringLiteral("no unit with serial number %1 found; brennix-cli list shows the units found")
                                            .arg(wanted_serial)};
    if (found.isEmpty())
        throw cli_failure{exit_no_unit, QStringLiteral("no unit found; connect one by USB, name its port with --port PATH, "
                                                       "or use --virtual-unit")};
    if (found.size() > 1)
        throw cli_failure{exit_usage, QStringLiteral("%1 units found (%2); pick one with --serial SN")
                                          .arg(found.size())
                                          .arg(serials.join(QStringLiteral(", ")))};
    if (!filter)
        filter = std::make_unique<unit_filter>(providers(), serials.first());
    filter->pin(found.first().provider, found.first().info);
    controller = std::make_unique<rv8_controller>();
    connect(worker(), &rv8_worker::opened, this, [this](QString serial, quint16 fw, rv8_variant v) {
        serial_number = serial;
        version = fw;
        unit_variant = v;
    });
    const int mark = console::problem_mark();
    worker()->open();
    settle();
    if (serial_number.isEmpty())
        throw cli_failure{exit_link, QStringLiteral("cannot open unit %1%2; unplug and replug it, then try again")
                                         .arg(serials.first(), reported_since(mark))};
}

void unit_session::settle()
{
    QEventLoop loop;
    // Queued behind everything asked before; its answer is queued behind everything they emitted.
    QMetaObject::invokeMethod(
        worker(), [&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); },
        Qt::QueuedConnection);
    loop.exec();
}

QString unit_session::reported_since(int mark)
{
    const QStringList said = console::problems_since(mark);
    return said.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(said.last().trimmed());
}

unit_settings unit_session::read()
{
    if (version == 0)
        throw cli_failure{exit_link, QStringLiteral("unit %1 runs its bootloader, not its firmware; program an image first "
                                                    "(brennix-cli flash IMAGE)")
                                         .arg(serial_number)};
    FT_STATUS status = FT_OTHER_ERROR;
    unit_settings settings;
    const auto c = connect(worker(), &rv8_worker::read_data, this,
                           [&](FT_STATUS s, QList<QByteArray> tables, QList<quint32> ints, QList<adc_trim>) {
                               status = s;
                               settings = unit_settings(tables, ints);
                           });
    const int mark = console::problem_mark();
    worker()->start_read();
    settle();
    disconnect(c);
    if (status != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("reading unit %1 failed, status %2%3; check the cable and power, then try again")
                                         .arg(serial_number)
                                         .arg(status)
                                         .arg(reported_since(mark))};
    return settings;
}

unit_settings unit_session::snapshot()
{
    unit_settings s = read();
    s.complete_for_file(version, unit_variant);
    return s;
}

unit_session::write_result unit_session::write(const unit_settings& settings, const QList<int>& groups)
{
    write_result result;
    const auto outcome = connect(worker(), &rv8_worker::write_outcome, this, [&](QList<int> written, QList<int> not_written) {
        result.written = written;
        result.not_written = not_written;
    });
    const auto checked = connect(worker(), &rv8_worker::write_checked, this, [&](QList<int> differing, QList<int> unread) {
        result.differing = differing;
        result.unread = unread;
    });
    const auto done = connect(worker(), &rv8_worker::wrote_data, this, [&](FT_STATUS s) { result.status = s; });
    worker()->remove_all_sets();
    for (int g : groups) {
        if (g <= tbl_gpo2)
            worker()->add_field_to_var(settings.tables[g], table_index(g));
        for (int_index i : group_members(g))
            worker()->add_field_to_var(quint32(settings.ints[i]), i);
    }
    worker()->start_write();
    settle();
    disconnect(outcome);
    disconnect(checked);
    disconnect(done);
    return result;
}

QString unit_session::save_restore_point(const unit_settings& before)
{
    QString error;
    const QString point = restore_points::save(serial_number, before, &error);
    if (point.isEmpty())
        throw cli_failure{exit_link, error + QStringLiteral("; nothing was written to the unit")};
    return point;
}

QString unit_session::read_back_text(const write_result& r)
{
    QString text;
    if (!r.differing.isEmpty())
        text += QStringLiteral("; read back otherwise than sent: ") + group_names(r.differing).join(QStringLiteral(", "));
    if (!r.unread.isEmpty())
        text += QStringLiteral("; could not be read back: ") + group_names(r.unread).join(QStringLiteral(", "));
    return text;
}

void unit_session::check_read_back(const write_result& r, const QString& point) const
{
    if (r.differing.isEmpty() && r.unread.isEmpty())
        return;
    throw cli_failure{exit_differs, QStringLiteral("unit %1 acknowledged the write%2; write again, or read the unit to see what "
                                                   "it holds; the restore point %3 holds the settings from before")
                                        .arg(serial_number, read_back_text(r), point)};
}
