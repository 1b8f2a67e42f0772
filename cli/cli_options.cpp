#include "cli/cli_options.h"
#include "cli/cli_failure.h"

#include "device/d2xx/unit_sources.h"
#include "live/pre_trigger.h"

#include <QMap>

#include <algorithm>

namespace {

struct command_desc {
    const char* name;
    int min_args;
    int max_args;
    QStringList options; // besides the global ones
    const char* usage;
};

const QList<command_desc>& commands()
{
    static const QList<command_desc> all{
        {"list", 0, 0, {}, "list\n  The units found: description, serial number and port, one per line (or JSON)."},
        {"info", 0, 0, {}, "info\n  The unit's serial number, firmware version, variant, and whether it runs its bootloader."},
        {"read", 1, 1, {}, "read FILE.bnini\n  Reads every setting of the unit into a settings file the window opens."},
        {"diff", 1, 1, {},
         "diff FILE.bnini\n  Compares the file with the unit, setting by setting, in user units.\n"
         "  Exit 0 when they are equal, 1 when they differ."},
        {"write", 1, 1, {"--all", "--dry-run", "--force", "--factory-cal", "--active-cal"},
         "write FILE.bnini [--all] [--dry-run] [--force] [--factory-cal] [--active-cal]\n"
         "  Writes the settings of the file that differ from the unit (--all: every setting), after saving\n"
         "  the unit's settings as a restore point. --dry-run prints the differences and sends nothing.\n"
         "  Values the window would correct are corrected the same way, each on standard error.\n"
         "  A file with warnings is refused unless --force; a damaged table is never sent. The factory and\n"
         "  the active MAP calibration stay as the unit has them unless --factory-cal or --active-cal."},
        {"restore", 0, 1, {"--list", "--force", "--factory-cal", "--active-cal"},
         "restore --list | restore FILE.bnini [--force] [--factory-cal] [--active-cal]\n"
         "  --list: the restore points kept for the unit (--serial) or for every unit.\n"
         "  FILE: writes one of the unit's restore points back to it, as write does; another unit's\n"
         "  is refused unless --force."},
        {"log", 1, 1, {"--seconds", "--start-after", "--pre", "--start-when", "--stop-when", "--marker-on-signal"},
         "log [--seconds N] [--start-after N] [--pre N] [--start-when COND] [--stop-when COND]\n"
         "    [--marker-on-signal] FILE.bnlog\n"
         "  Records live data into a live-log file for N seconds, or until Ctrl+C; --start-after waits N\n"
         "  seconds before writing. --pre N (0 to 60) begins the file with the records of the N seconds\n"
         "  before writing starts. --start-when waits until a condition has held, --stop-when ends the\n"
         "  recording once one has: CHANNEL OP VALUE [for SECONDS] in user units, for example\n"
         "  \"rpm>3000 for 0.5\" or \"map<=2\"; OP is >, >=, < or <=; channels: rpm, map, an_a, an_b,\n"
         "  battery, main_duty, aux_duty, gpo1_duty, gpo2_duty, main_current, aux_current, gpi1, gpi2.\n"
         "  --marker-on-signal: SIGUSR1 adds a marker at the newest record. Prints the number of records\n"
         "  written."},
        {"flash", 1, 1, {},
         "flash IMAGE\n  Checks the firmware image, then programs it. Exit 0 only when the unit reports the new version."},
        {"reset", 0, 0, {}, "reset\n  Restarts the unit. Make sure the engine is not running."},
        {"override", 2, 2, {"--seconds"},
         "override OUTPUT DUTY --seconds N\n"
         "  Drives OUTPUT (main, aux, gpo1 or gpo2) at DUTY percent (0 to 100) for N seconds (1 to 300),\n"
         "  then resets it; Ctrl+C or SIGTERM resets it at once, and so does any error. Exit 0 once reset."},
        {"calibrate-map", 0, 0, {"--write"},
         "calibrate-map [--write]\n  Measures the atmosphere with the engine off and prints the new active calibration;\n"
         "  --write writes it to the unit (after a restore point)."},
    };
    return all;
}

const command_desc* find_command(const QString& name)
{
    for (const command_desc& c : commands())
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

[[noreturn]] void usage_error(const QString& text)
{
    throw cli_failure{exit_usage, text + QStringLiteral("; see brennix-cli --help")};
}

double number_of(const QString& option, const QString& text, double min)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || v < min)
        usage_error(QStringLiteral("%1 wants a number of seconds, %2 or more, got \"%3\"").arg(option).arg(min).arg(text));
    return v;
}

double seconds_within(const QString& option, const QString& text, double min, double max)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !(v >= min && v <= max))
        usage_error(QStringLiteral("%1 wants a number of seconds from %2 to %3, got \"%4\"").arg(option).arg(min).arg(max).arg(text));
    return v;
}

bool condition_of(const QString& option, const QString& text, record_condition* out)
{
    QString error;
    if (!record_condition::parse(text, out, &error))
        usage_error(option + QStringLiteral(": ") + error);
    return true;
}

// The virtual unit as another unit would answer: an older firmware, its bootloader (0), an RV8-S.
void tune_virtual_unit(const QString& option, const QString& value, sim_config* config)
{
    quint16 version = 0;
    if (option == QLatin1String("--virtual-unit-fw") && unit_sources::parse_fw_version(value, &version)) {
        config->start_in_bootloader = version == 0;
        if (version != 0)
            config->fw_version = version;
    } else if (option == QLatin1String("--virtual-unit-fw")) {
        usage_error(QStringLiteral("--virtual-unit-fw wants a 16-bit number such as 0x0201, got \"%1\"").arg(value));
    } else if (option == QLatin1String("--virtual-unit-variant")) {
        if (!unit_sources::parse_variant(value, &config->variant_byte))
            usage_error(QStringLiteral("--virtual-unit-variant is sx or s, got \"%1\"").arg(value));
    } else {
        usage_error(QStringLiteral("unknown option %1").arg(option));
    }
}

} // namespace

cli_options parse_cli_options(const QStringList& arguments)
{
    static const QStringList global_values{"--port", "--serial", "--virtual-store", "--virtual-unit-fw",
                                           "--virtual-unit-variant"};
    static const QStringList value_options =
        global_values + QStringList{"--seconds", "--start-after", "--pre", "--start-when", "--stop-when"};
    cli_options o;
    QStringList used;
    for (int i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        QString value;
        const bool option = arg.startsWith(QLatin1String("--")) || arg == QLatin1String("-h");
        if (!option) {
            if (o.command.isEmpty())
                o.command = arg;
            else
                o.args << arg;
            continue;
        }
        const int eq = arg.indexOf(QLatin1Char('='));
        if (eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
        } else if (value_options.contains(arg)) {
            if (++i >= arguments.size())
                usage_error(QStringLiteral("%1 wants a value").arg(arg));
            value = arguments[i];
        }
        if (arg == QLatin1String("--port"))
            o.ports << value;
        else if (arg == QLatin1String("--serial"))
            o.serial = value;
        else if (arg == QLatin1String("--virtual-store"))
            o.virtual_store = value;
        else if (arg == QLatin1String("--virtual-unit"))
            o.virtual_unit = true;
        else if (arg.startsWith(QLatin1String("--virtual-unit-")))
            tune_virtual_unit(arg, value, &o.virtual_config);
        else if (arg == QLatin1String("--json"))
            o.json = true;
        else if (arg == QLatin1String("--verbose"))
            o.verbose = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            o.help = true;
        else if (arg == QLatin1String("--version"))
            o.version = true;
        else if (arg == QLatin1String("--seconds"))
            o.seconds = number_of(arg, value, 0.001);
        else if (arg == QLatin1String("--start-after"))
            o.start_after = int(number_of(arg, value, 0));
        else if (arg == QLatin1String("--pre"))
            o.pre_seconds = seconds_within(arg, value, 0, pre_trigger::max_seconds);
        else if (arg == QLatin1String("--start-when"))
            o.has_start_when = condition_of(arg, value, &o.start_when);
        else if (arg == QLatin1String("--stop-when"))
            o.has_stop_when = condition_of(arg, value, &o.stop_when);
        else
            o.flags << arg;
        if (!global_values.contains(arg))
            used << arg;
    }
    if (o.help || o.version)
        return o;
    if (o.command.isEmpty())
        usage_error(QStringLiteral("no command given"));
    const command_desc* c = find_command(o.command);
    if (!c)
        usage_error(QStringLiteral("unknown command \"%1\"").arg(o.command));
    static const QStringList global_flags{"--virtual-unit", "--json", "--verbose"};
    for (const QString& u : qAsConst(used))
        if (!global_flags.contains(u) && !c->options.contains(u))
            usage_error(QStringLiteral("%1 does not take %2").arg(o.command, u));
    if (o.args.size() < c->min_args || o.args.size() > c->max_args)
        usage_error(QStringLiteral("%1 wants %2").arg(o.command, QString::fromLatin1(c->usage).section(QLatin1Char('\n'), 0, 0)));
    if (o.command == QLatin1String("override") && (o.seconds < 1 || o.seconds > 300))
        usage_error(o.seconds < 0 ? QStringLiteral("override wants --seconds N: how long the output is driven")
                                  : QStringLiteral("override holds an output for 1 to 300 seconds, got %1").arg(o.seconds));
    if (o.command == QLatin1String("restore") && o.has("--list") == !o.args.isEmpty())
        usage_error(QStringLiteral("restore wants --list or a FILE"));
    if (!o.virtual_store.isEmpty() && !o.virtual_unit)
        usage_error(QStringLiteral("--virtual-store goes with --virtual-unit"));
    if (!o.virtual_unit && std::any_of(arguments.begin(), arguments.end(),
                                       [](const QString& a) { return a.startsWith(QLatin1String("--virtual-unit-")); }))
        usage_error(QStringLiteral("--virtual-unit-fw and --virtual-unit-variant go with --virtual-unit"));
    return o;
}

QString cli_usage()
{
    QString text = QStringLiteral(
        "Usage: brennix-cli [OPTIONS] COMMAND [ARGS]\n\n"
        "Talks to an RV8 unit without the window: the unit connected by USB, a serial port named with\n"
        "--port, or the built-in virtual unit. With more than one unit connected, --serial picks one.\n\n"
        "Options:\n"
        "  --port PATH[,DESCRIPTION[,SERIAL]]\n"
        "                             also try this serial port (repeatable)\n"
        "  --virtual-unit             add the built-in virtual unit (serial RV8V0001)\n"
        "  --virtual-store FILE       keep the virtual unit's memory in FILE\n"
        "  --virtual-unit-fw N        its firmware version (decimal or 0x hex, 0 = bootloader)\n"
        "  --virtual-unit-variant sx|s  its variant\n"
        "  --serial SN                the unit to use when several are connected\n"
        "  --json                     print results as JSON\n"
        "  --verbose                  also print what the link reports\n"
        "  -h, --help                 this help; COMMAND --help describes one command\n"
        "  --version                  the version of brennix-cli\n\nCommands:\n");
    for (const command_desc& c : commands())
        text += QStringLiteral("  ") + QString::fromLatin1(c.usage).section(QLatin1Char('\n'), 0, 0) + QLatin1Char('\n');
    text += QStringLiteral("\nExit codes: 0 success, 1 a difference or a refused operation, 2 bad usage or a file that\n"
                           "cannot be read or written, 3 no unit, 4 link or unit error.\n");
    return text;
}

QString command_usage(const QString& command)
{
    const command_desc* c = find_command(command);
    return c ? QStringLiteral("Usage: brennix-cli [unit options] ") + QString::fromLatin1(c->usage) + QLatin1Char('\n')
             : cli_usage();
}
