// brennix-cli: the unit from the command line, for workshops and automation.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt_watch.h"
#include "cli/unit_session.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    interrupt_watch::block_signals();
    QCoreApplication app(argc, argv);
    // Restore points live where the window keeps its own data.
    QCoreApplication::setOrganizationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Brennix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRENNIX_VERSION));
    try {
        const cli_options options = parse_cli_options(app.arguments().mid(1));
        if (options.version) {
            console::out(QStringLiteral("brennix-cli %1").arg(QCoreApplication::applicationVersion()));
            return exit_ok;
        }
        if (options.help) {
            console::out(options.command.isEmpty() ? cli_usage() : command_usage(options.command));
            return exit_ok;
        }
        // Before the worker's thread starts, so that no thread takes the signal's default action.
        if (options.has("--marker-on-signal"))
            signal_watch::block({SIGUSR1});
        console::install_message_handler(options.verbose);
        interrupt_watch interrupt;
        unit_session session(options);
        command_context context{options, session, interrupt};
        return run_command(context);
    } catch (const cli_failure& failure) {
        console::err(QStringLiteral("brennix-cli: ") + failure.message);
        return failure.code;
    }
}
