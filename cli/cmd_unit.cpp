// Commands about the unit itself: which are there, which one this is, restart, MAP calibration,
// output overrides.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt_watch.h"
#include "cli/unit_session.h"

#include "model/param_units.h"
#include "model/restore_points.h"
#include "model/write_group.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>
#include <cmath>

namespace {
void print_json(const QJsonValue& v)
{
    console::out(QString::fromUtf8(v.isArray() ? QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact)
                                               : QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact)));
}

table_index output_named(const QString& name)
{
    static const QList<QPair<QString, table_index>> outputs{
        {"main", tbl_main}, {"aux", tbl_aux}, {"gpo1", tbl_gpo1}, {"gpo2", tbl_gpo2}};
    for (const auto& o : outputs)
        if (o.first == name.toLower())
            return o.second;
    throw cli_failure{exit_usage, QStringLiteral("OUTPUT is main, aux, gpo1 or gpo2, got \"%1\"; see brennix-cli --help").arg(name)};
}

// Sends one override request and waits for the unit's answer.
FT_STATUS send_override(command_context& c, table_index output, int duty)
{
    FT_STATUS status = FT_OTHER_ERROR;
    const auto answer = QObject::connect(c.session.worker(), &rv8_worker::override_done, &c.session,
                                         [&](table_index, int, FT_STATUS s) { status = s; });
    if (duty >= 0)
        c.session.worker()->set_override(output, uint(duty));
    else
        c.session.worker()->reset_override(output);
    c.session.settle();
    QObject::disconnect(answer);
    return status;
}

QString variant_name(rv8_variant v)
{
    return v == variant_rv8_sx ? QStringLiteral("RV8-SX") : QStringLiteral("RV8-S");
}
} // namespace

int run_command(command_context& c)
{
    static const QList<QPair<QString, int (*)(command_context&)>> table{
        {"list", cmd_list},   {"info", cmd_info},       {"reset", cmd_reset}, {"calibrate-map", cmd_calibrate_map},
        {"read", cmd_read},   {"diff", cmd_diff},       {"write", cmd_write}, {"restore", cmd_restore},
        {"log", cmd_log},     {"flash", cmd_flash},       {"override", cmd_override},
    };
    for (const auto& entry : table)
        if (entry.first == c.options.command)
            return entry.second(c);
    throw cli_failure{exit_usage, QStringLiteral("unknown command \"%1\"").arg(c.options.command)};
}

int cmd_list(command_context& c)
{
    const QList<unit_session::found> found = c.session.devices();
    QJsonArray json;
    int units = 0;
    for (const unit_session::found& f : found) {
        units += f.unit();
        if (c.options.json)
            json.append(QJsonObject{{"description", f.description}, {"serial", f.serial}, {"port", f.port},
                                    {"unit", f.unit()}});
        else
            console::out(QStringLiteral("%1\t%2\t%3").arg(f.description, f.serial, f.port));
    }
    if (c.options.json)
        print_json(json);
    if (units == 0)
        throw cli_failure{exit_no_unit, QStringLiteral("no unit found; connect one by USB, name its port with --port PATH, "
                                                       "or use --virtual-unit")};
    return exit_ok;
}

int cmd_info(command_context& c)
{
    c.session.open();
    const bool boot = c.session.fw_version() == 0;
    if (c.options.json) {
        print_json(QJsonObject{{"serial", c.session.serial()},
                               {"firmware", fw_version_text(c.session.fw_version())},
                               {"fw_version", c.session.fw_version()},
                               {"variant", variant_name(c.session.variant())},
                               {"running", boot ? "bootloader" : "application"}});
        return exit_ok;
    }
    console::out(QStringLiteral("serial: %1").arg(c.session.serial()));
    console::out(QStringLiteral("firmware: %1").arg(fw_version_text(c.session.fw_version())));
    console::out(QStringLiteral("variant: %1").arg(variant_name(c.session.variant())));
    console::out(QStringLiteral("running: %1").arg(boot ? "bootloader" : "application"));
    return exit_ok;
}

int cmd_reset(command_context& c)
{
    c.session.open();
    const int mark = console::problem_mark();
    c.session.worker()->reset();
    c.session.settle();
    if (!console::problems_since(mark).isEmpty())
        throw cli_failure{exit_link, QStringLiteral("reset of unit %1 failed%2; power-cycle the unit")
                                         .arg(c.session.serial(), unit_session::reported_since(mark))};
    console::out(QStringLiteral("unit %1 restarted").arg(c.session.serial()));
    return exit_ok;
}

int cmd_calibrate_map(command_context& c)
{
    c.session.open();
    const unit_settings before = c.session.snapshot();
    QList<quint16> samples;
    const auto conn = QObject::connect(c.session.worker(), &rv8_worker::map_cal_data_ready, &c.session,
                                       [&](QList<quint16> s) { samples = s; });
    const int mark = console::problem_mark();
    c.session.worker()->start_map_cal();
    c.session.settle();
    QObject::disconnect(conn);
    if (samples.isEmpty())
        throw cli_failure{exit_link, QStringLiteral("reading the MAP sensor of unit %1 failed%2; check the cable and try again")
                                         .arg(c.session.serial(), unit_session::reported_since(mark))};
    double sum = 0;
    for (quint16 s : samples)
        sum += s;
    const quint32 atm = quint32(std::floor(sum / samples.size()));
    // The active line is the factory line moved by the change in the atmospheric reading.
    unit_settings after = before;
    after.ints[int_active_atm] = atm;
    const double intercept = before.ints[int_base_intercept] / 1000.0 - before.ints[int_base_atm] + atm;
    after.ints[int_active_intercept] = quint32(std::lround(qMax(0.0, intercept) * 1000));
    if (c.options.json) {
        print_json(QJsonObject{{"atmosphere", int(atm)},
                               {"active_intercept", after.ints[int_active_intercept] / 1000.0},
                               {"written", c.options.has("--write")}});
    } else {
        console::out(QStringLiteral("atmosphere: %1 counts (was %2)").arg(atm).arg(before.ints[int_active_atm]));
        console::out(QStringLiteral("active intercept: %1 counts (was %2)")
                         .arg(after.ints[int_active_intercept] / 1000.0, 0, 'f', 3)
                         .arg(before.ints[int_active_intercept] / 1000.0, 0, 'f', 3));
    }
    if (!c.options.has("--write")) {
        if (!c.options.json)
            console::out(QStringLiteral("not written; add --write to store it in the unit"));
        return exit_ok;
    }
    const QString point = c.session.save_restore_point(before);
    const unit_session::write_result written = c.session.write(after, {g_active_map_cal});
    restore_points::note_write(point, group_names(written.written));
    if (written.status != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("writing the active MAP calibration failed, status %1; the restore point %2 "
                                                    "holds the settings from before")
                                         .arg(written.status)
                                         .arg(point)};
    c.session.check_read_back(written, point);
    if (!c.options.json)
        console::out(QStringLiteral("written; restore point %1").arg(point));
    return exit_ok;
}

int cmd_override(command_context& c)
{
    const table_index output = output_named(c.options.args[0]);
    const QString name = c.options.args[0].toUpper();
    bool number = false;
    const double percent = c.options.args[1].toDouble(&number);
    if (!number || percent < 0 || percent > 100)
        throw cli_failure{exit_usage, QStringLiteral("DUTY is a percentage from 0 to 100, got \"%1\"; see brennix-cli --help")
                                          .arg(c.options.args[1])};
    c.session.open();
    if (c.session.fw_version() == 0)
        throw cli_failure{exit_link, QStringLiteral("unit %1 runs its bootloader, not its firmware; program an image first "
                                                    "(brennix-cli flash IMAGE)")
                                         .arg(c.session.serial())};
    // The window's fields hold whole percent; a script may ask for a finer step.
    const int duty = int(std::lround(percent * 1023 / 100));
    const QString seconds = QString::number(c.options.seconds);
    const int mark = console::problem_mark();
    const FT_STATUS set = send_override(c, output, duty);
    if (set == FT_OK) {
        console::out(QStringLiteral("%1 driven at %2 % (duty %3) on unit %4 for %5 s")
                         .arg(name, QString::number(percent), QString::number(duty), c.session.serial(), seconds));
        QEventLoop hold;
        QTimer::singleShot(int(c.options.seconds * 1000), &hold, &QEventLoop::quit);
        QObject::connect(&c.interrupt, &signal_watch::arrived, &hold, &QEventLoop::quit);
        if (!c.interrupt.requested())
            hold.exec();
    }
    // Sent whatever happened: the unit may have taken an override whose answer was lost.
    const FT_STATUS reset = send_override(c, output, -1);
    if (reset != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("resetting the %1 override of unit %2 failed, status %3%4; the unit may still "
                                                    "drive %1: run brennix-cli reset, or switch the unit off")
                                         .arg(name, c.session.serial())
                                         .arg(reset)
                                         .arg(unit_session::reported_since(mark))};
    if (set != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("unit %1 did not take the %2 override, status %3%4; a reset was sent")
                                         .arg(c.session.serial(), name)
                                         .arg(set)
                                         .arg(unit_session::reported_since(mark))};
    if (c.interrupt.requested())
        throw cli_failure{exit_interrupted, QStringLiteral("interrupted; the %1 override was reset").arg(name)};
    console::out(QStringLiteral("%1 override reset after %2 s").arg(name, seconds));
    return exit_ok;
}
