#include "app/app_options.h"

#include "device/d2xx/unit_sources.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {
const QString fw_option = QStringLiteral("virtual-unit-fw");
const QString variant_option = QStringLiteral("virtual-unit-variant");

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Configure and watch an RV8 unit over USB: settings, duty tables, live data, firmware."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("virtual-unit"),
                      QStringLiteral("Add a virtual RV8 in this process before the first connection attempt.")});
    parser.addOption({fw_option, QStringLiteral("Firmware version of the virtual unit (decimal or 0x hex, 0 = bootloader)."),
                      QStringLiteral("N")});
    parser.addOption({variant_option, QStringLiteral("Variant of the virtual unit: sx or s."), QStringLiteral("sx|s")});
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Also try this serial port, e.g. a pseudo-terminal served by rv8-sim (repeatable)."),
                      QStringLiteral("PATH[,DESCRIPTION[,SERIAL]]")});
}

bool read_virtual_unit(const QCommandLineParser& parser, app_options& options)
{
    if (parser.isSet(fw_option)) {
        quint16 version = 0;
        if (!unit_sources::parse_fw_version(parser.value(fw_option), &version)) {
            options.error = QStringLiteral("--virtual-unit-fw wants a 16-bit number such as 0x0201, got \"%1\"")
                                .arg(parser.value(fw_option));
            return false;
        }
        // A unit without an application answers from its bootloader.
        options.virtual_config.start_in_bootloader = version == 0;
        if (version != 0)
            options.virtual_config.fw_version = version;
    }
    if (parser.isSet(variant_option)
        && !unit_sources::parse_variant(parser.value(variant_option), &options.virtual_config.variant_byte)) {
        options.error = QStringLiteral("--virtual-unit-variant is sx or s, got \"%1\"").arg(parser.value(variant_option));
        return false;
    }
    const bool tuned = parser.isSet(fw_option) || parser.isSet(variant_option);
    if (tuned && !parser.isSet(QStringLiteral("virtual-unit"))) {
        options.error = QStringLiteral("--virtual-unit-fw and --virtual-unit-variant go with --virtual-unit");
        return false;
    }
    options.virtual_unit = parser.isSet(QStringLiteral("virtual-unit"));
    return true;
}

}

app_options app_options::parse(const QStringList& arguments, outcome* result)
{
    app_options options;
    QCommandLineParser parser;
    describe(parser);
    *result = bad_usage;
    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
    } else if (parser.isSet(QStringLiteral("help"))) {
        *result = help;
    } else if (parser.isSet(QStringLiteral("version"))) {
        *result = version;
    } else if (!parser.positionalArguments().isEmpty()) {
        options.error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
    } else if (read_virtual_unit(parser, options)) {
        // The port texts are checked where they are used, by unit_sources.
        options.ports = parser.values(QStringLiteral("port"));
        *result = run;
    }
    return options;
}

QString app_options::help_text()
{
    QCommandLineParser parser;
    describe(parser);
    return parser.helpText();
}
