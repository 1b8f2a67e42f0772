// Programming firmware: the image is checked before the unit is touched, and success means the
// unit answers with the image's version.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt_watch.h"
#include "cli/unit_session.h"

#include "device/fw_image_check.h"
#include "model/param_units.h"

#include <QFile>

int cmd_flash(command_context& c)
{
    const QString path = c.options.args[0];
    QFile file(path);
    const fw_image_report report =
        file.open(QIODevice::ReadOnly) ? check_fw_image_data(file.readAll(), path) : check_fw_image(path);
    if (!report.ok)
        throw cli_failure{exit_differs, QStringLiteral("flash refused: %1: %2; the unit was not touched").arg(path, report.reason)};
    file.seek(0);
    const std::optional<quint16> expected = fw_image_version(file.readAll());
    c.session.open();
    const quint16 before = c.session.fw_version();

    rv8_worker* w = c.session.worker();
    FT_STATUS status = FT_OTHER_ERROR;
    quint16 after = 0;
    bool warned = false;
    QList<QMetaObject::Connection> wires{
        QObject::connect(w, &rv8_worker::reset_progress, &c.session,
                         [](int p) { console::progress(QStringLiteral("restart"), p); }),
        QObject::connect(w, &rv8_worker::fw_progress, &c.session,
                         [](int p) { console::progress(QStringLiteral("flash  "), p); }),
        QObject::connect(w, &rv8_worker::fw_programmed, &c.session, [&](FT_STATUS s, quint16 version, rv8_variant) {
            status = s;
            after = version;
        }),
        // Stopping half way would leave the unit without firmware.
        QObject::connect(&c.interrupt, &signal_watch::arrived, &c.session, [&] {
            if (!warned)
                console::err(QStringLiteral("brennix-cli: programming cannot be stopped safely; it ends by itself shortly"));
            warned = true;
        }),
    };
    const int mark = console::problem_mark();
    w->start_fw_program(path);
    c.session.settle();
    for (const auto& wire : wires)
        QObject::disconnect(wire);
    console::end_progress();
    if (status != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("flashing unit %1 failed, status %2%3; the unit waits in its bootloader: "
                                                    "run the flash again (replug the unit first if it does not answer)")
                                         .arg(c.session.serial())
                                         .arg(status)
                                         .arg(unit_session::reported_since(mark))};
    if (after == 0 || (expected && after != *expected))
        throw cli_failure{exit_link, QStringLiteral("unit %1 reports %2 after flashing, not %3; run the flash again")
                                         .arg(c.session.serial(), fw_version_text(after),
                                              expected ? fw_version_text(*expected) : QStringLiteral("an application"))};
    console::out(QStringLiteral("unit %1 now runs %2 (was %3)")
                     .arg(c.session.serial(), fw_version_text(after), fw_version_text(before)));
    return exit_ok;
}
