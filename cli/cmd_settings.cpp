// Commands on the unit's settings: save them to a file, compare a file, write one, go back.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt_watch.h"
#include "cli/restore_points.h"
#include "cli/settings_diff.h"
#include "cli/unit_session.h"

#include "model/param_units.h"
#include "model/table_record.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

void check_interrupt(command_context& c, const QString& what)
{
    if (c.interrupt.requested())
        throw cli_failure{exit_interrupted, QStringLiteral("interrupted; %1").arg(what)};
}

unit_settings unit_snapshot(command_context& c)
{
    unit_settings s = c.session.read();
    s.complete_for_file(c.session.fw_version(), c.session.variant());
    return s;
}

// The file's settings over the unit's: what the file lacks keeps the unit's value.
unit_settings file_over(const QString& path, const unit_settings& unit, QStringList* warnings)
{
    unit_settings file;
    QString error;
    if (!unit_settings::load(path, unit, &file, warnings, &error))
        throw cli_failure{exit_usage, error + QStringLiteral("; give the path of a .bnini settings file")};
    *warnings += file.table_faults();
    // The window, too, advises against writing what a newer program saved.
    if (file.ints[int_gui_version] > program_version_number())
        *warnings << QStringLiteral("saved by Brennix %1, newer than this %2; it may hold settings this version does not know")
                         .arg(gui_version_text(file.ints[int_gui_version]), gui_version_text(program_version_number()));
    for (const QString& w : qAsConst(*warnings))
        console::err(QStringLiteral("warning: %1: %2").arg(path, w));
    return file;
}

void print_changes(command_context& c, const QList<setting_change>& changes, const QJsonArray& json)
{
    if (c.options.json) {
        console::out(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
        return;
    }
    for (const setting_change& change : changes)
        console::out(change.line());
}

int write_settings(command_context& c, QString path)
{
    c.session.open();
    if (!QFileInfo::exists(path) && QFileInfo::exists(restore_points::folder(c.session.serial()) + QLatin1Char('/') + path))
        path = restore_points::folder(c.session.serial()) + QLatin1Char('/') + path;
    const unit_settings unit = unit_snapshot(c);
    QStringList warnings;
    const unit_settings file = file_over(path, unit, &warnings);
    if (!warnings.isEmpty() && !c.options.has("--force"))
        throw cli_failure{exit_differs, QStringLiteral("%1 has %2 warning(s); nothing was written. Correct the file, or add "
                                                       "--force to write the rest (a damaged table is never sent)")
                                            .arg(path)
                                            .arg(warnings.size())};
    const settings_diff diff(unit, file);
    const bool factory = c.options.has("--factory-cal");
    QList<int> groups;
    QList<setting_change> sent;
    for (int g = 0; g < settings_diff::g_count; ++g) {
        const bool damaged = g <= tbl_gpo2 && !table_record(file.tables[g]).fault().isEmpty();
        if (damaged || (g == settings_diff::g_base_map_cal && !factory))
            continue;
        if (c.options.has("--all") || diff.group_differs(g))
            groups << g;
    }
    QJsonArray json;
    const QJsonArray all = diff.to_json();
    for (int k = 0; k < diff.changes().size(); ++k)
        if (groups.contains(diff.changes()[k].group)) {
            sent << diff.changes()[k];
            json.append(all[k]);
        }
    if (diff.group_differs(settings_diff::g_base_map_cal) && !factory)
        console::err(QStringLiteral("note: the factory MAP calibration differs and is kept as the unit has it; "
                                    "add --factory-cal to write the file's"));
    print_changes(c, sent, json);
    if (c.options.has("--dry-run")) {
        console::err(QStringLiteral("dry run: nothing was sent to unit %1").arg(c.session.serial()));
        return exit_ok;
    }
    if (groups.isEmpty()) {
        console::err(QStringLiteral("unit %1 already holds the settings of %2; nothing to write").arg(c.session.serial(), path));
        return exit_ok;
    }
    const QString point = restore_points::save(c.session.serial(), unit);
    check_interrupt(c, QStringLiteral("nothing was written; the restore point %1 was kept").arg(point));
    const int mark = console::problem_mark();
    const FT_STATUS status = c.session.write(file, groups);
    if (status != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("writing unit %1 failed, status %2%3; the restore point %4 holds the "
                                                    "settings from before (brennix-cli restore %4)")
                                         .arg(c.session.serial())
                                         .arg(status)
                                         .arg(unit_session::reported_since(mark), point)};
    console::err(QStringLiteral("wrote %1 message(s) to unit %2; restore point %3").arg(groups.size()).arg(c.session.serial(), point));
    return exit_ok;
}

} // namespace

int cmd_read(command_context& c)
{
    c.session.open();
    const unit_settings unit = unit_snapshot(c);
    check_interrupt(c, QStringLiteral("nothing was saved"));
    QString error;
    if (!unit.save(c.options.args[0], &error))
        throw cli_failure{exit_differs, error + QStringLiteral("; choose a folder you can write to")};
    console::err(QStringLiteral("read unit %1 (%2) into %3")
                     .arg(c.session.serial(), fw_version_text(c.session.fw_version()), c.options.args[0]));
    return exit_ok;
}

int cmd_diff(command_context& c)
{
    c.session.open();
    const unit_settings unit = unit_snapshot(c);
    QStringList warnings;
    const unit_settings file = file_over(c.options.args[0], unit, &warnings);
    const settings_diff diff(unit, file);
    print_changes(c, diff.changes(), diff.to_json());
    if (diff.changes().isEmpty() && !c.options.json)
        console::err(QStringLiteral("unit %1 holds the settings of %2").arg(c.session.serial(), c.options.args[0]));
    return diff.changes().isEmpty() ? exit_ok : exit_differs;
}

int cmd_write(command_context& c)
{
    return write_settings(c, c.options.args[0]);
}

int cmd_restore(command_context& c)
{
    if (!c.options.has("--list"))
        return write_settings(c, c.options.args[0]);
    QJsonArray json;
    for (const restore_point& p : restore_points::list(c.options.serial)) {
        const QString taken = p.taken.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (c.options.json)
            json.append(QJsonObject{{"serial", p.serial}, {"taken", taken}, {"path", p.path}});
        else
            console::out(QStringLiteral("%1\t%2\t%3").arg(p.serial, taken, p.path));
    }
    if (c.options.json)
        console::out(QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    return exit_ok;
}
