// Commands on the unit's settings: save them to a file, compare a file, write one, go back.

#include "cli/cli_failure.h"
#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/interrupt_watch.h"
#include "cli/unit_session.h"

#include "model/param_units.h"
#include "model/restore_points.h"
#include "model/settings_diff.h"
#include "model/table_record.h"
#include "model/write_rules.h"

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

// A name alone is looked for among the unit's restore points.
QString settings_path(command_context& c, const QString& path)
{
    const QString in_folder = restore_points::folder(c.session.serial()) + QLatin1Char('/') + path;
    return !QFileInfo::exists(path) && QFileInfo::exists(in_folder) ? in_folder : path;
}

// Another unit's tables, modes and calibration are no way back for this one.
void check_restore_point(command_context& c, const QString& path)
{
    if (c.options.has("--force"))
        return;
    QString serial;
    QDateTime taken;
    if (!restore_points::parse_name(QFileInfo(path).fileName(), &serial, &taken))
        throw cli_failure{exit_differs, QStringLiteral("%1 is not named as a restore point (SERIAL_yyyy-MM-dd_hh-mm-ss.bnini), "
                                                       "so whose it is is unknown; nothing was written. Write a settings "
                                                       "file with brennix-cli write, or add --force")
                                            .arg(path)};
    if (serial != c.session.serial())
        throw cli_failure{exit_differs, QStringLiteral("%1 is a restore point of unit %2, not of the connected unit %3; nothing "
                                                       "was written. Pick one of unit %3's (brennix-cli --serial %3 restore "
                                                       "--list), or add --force")
                                            .arg(path, serial, c.session.serial())};
}

void warn_old_firmware(command_context& c)
{
    const QString warning = write_rules::firmware_warning(c.session.fw_version());
    if (!warning.isEmpty())
        console::err(QStringLiteral("warning: %1; update the unit's firmware (brennix-cli flash IMAGE): with older "
                                    "firmware a write may break the unit, the engine or both")
                         .arg(warning));
}

// The calibrations belong to the unit's sensor: the window asks before it replaces either.
bool kept_as_unit(const command_context& c, int group)
{
    return (group == g_base_map_cal && !c.options.has("--factory-cal")) ||
           (group == g_active_map_cal && !c.options.has("--active-cal"));
}

void note_kept_calibrations(const command_context& c, const settings_diff& diff)
{
    if (diff.group_differs(g_base_map_cal) && kept_as_unit(c, g_base_map_cal))
        console::err(QStringLiteral("note: the factory MAP calibration differs and is kept as the unit has it; "
                                    "add --factory-cal to write the file's"));
    if (diff.group_differs(g_active_map_cal) && kept_as_unit(c, g_active_map_cal))
        console::err(QStringLiteral("note: the active MAP calibration differs and is kept as the unit has it; "
                                    "add --active-cal to write the file's"));
}

// The file as the window would write it: corrected values replace the file's, each one said.
unit_settings corrected_file(command_context& c, const QString& path, const unit_settings& loaded, QStringList* warnings)
{
    const corrected_settings fixed = write_rules::correct_for_write(loaded.tables, loaded.ints, c.session.variant());
    for (const QString& r : fixed.refusals)
        console::err(QStringLiteral("warning: %1: %2").arg(path, r));
    *warnings += fixed.refusals;
    for (const write_correction& k : fixed.corrections)
        if (!kept_as_unit(c, k.group))
            console::err(QStringLiteral("correction: %1: %2").arg(path, k.text));
    return unit_settings(fixed.tables, fixed.ints);
}

QList<int> groups_to_send(const command_context& c, const settings_diff& diff, const unit_settings& file)
{
    QList<int> groups;
    for (int g = 0; g < g_count; ++g) {
        const bool damaged = g <= g_gpo2_table && !table_record(file.tables[g]).fault().isEmpty();
        if (!damaged && !kept_as_unit(c, g) && (c.options.has("--all") || diff.group_differs(g)))
            groups << g;
    }
    return groups;
}

void print_sent_changes(command_context& c, const settings_diff& diff, const QList<int>& groups)
{
    QList<setting_change> sent;
    QJsonArray json;
    const QJsonArray all = diff.to_json();
    for (int k = 0; k < diff.changes().size(); ++k)
        if (groups.contains(diff.changes()[k].group)) {
            sent << diff.changes()[k];
            json.append(all[k]);
        }
    print_changes(c, sent, json);
}

void send(command_context& c, const unit_settings& unit, const unit_settings& file, const QList<int>& groups)
{
    const QString point = c.session.save_restore_point(unit);
    check_interrupt(c, QStringLiteral("nothing was written; the restore point %1 was kept").arg(point));
    const int mark = console::problem_mark();
    const unit_session::write_result r = c.session.write(file, groups);
    restore_points::note_write(point, group_names(r.written));
    auto names = [](const QList<int>& g) { return g.isEmpty() ? QStringLiteral("nothing") : group_names(g).join(QStringLiteral(", ")); };
    if (r.status != FT_OK)
        throw cli_failure{exit_link, QStringLiteral("writing unit %1 failed, status %2%3; written: %4; not written: %5%6; the "
                                                    "restore point %7 holds the settings from before (brennix-cli restore %7)")
                                         .arg(c.session.serial())
                                         .arg(r.status)
                                         .arg(unit_session::reported_since(mark), names(r.written), names(r.not_written),
                                              unit_session::read_back_text(r), point)};
    c.session.check_read_back(r, point);
    console::err(QStringLiteral("wrote %1 message(s) to unit %2; restore point %3").arg(groups.size()).arg(c.session.serial(), point));
}

int write_settings(command_context& c, const QString& given, bool restore)
{
    c.session.open();
    const QString path = settings_path(c, given);
    if (restore)
        check_restore_point(c, path);
    warn_old_firmware(c);
    const unit_settings unit = c.session.snapshot();
    QStringList warnings;
    const unit_settings file = corrected_file(c, path, file_over(path, unit, &warnings), &warnings);
    if (!warnings.isEmpty() && !c.options.has("--force"))
        throw cli_failure{exit_differs, QStringLiteral("%1 has %2 warning(s); nothing was written. Correct the file, or add "
                                                       "--force to write the rest (a damaged table is never sent)")
                                            .arg(path)
                                            .arg(warnings.size())};
    const settings_diff diff(unit, file);
    const QList<int> groups = groups_to_send(c, diff, file);
    note_kept_calibrations(c, diff);
    print_sent_changes(c, diff, groups);
    if (c.options.has("--dry-run")) {
        console::err(QStringLiteral("dry run: nothing was sent to unit %1").arg(c.session.serial()));
        return exit_ok;
    }
    if (groups.isEmpty()) {
        console::err(QStringLiteral("unit %1 already holds the settings of %2; nothing to write").arg(c.session.serial(), path));
        return exit_ok;
    }
    send(c, unit, file, groups);
    return exit_ok;
}

} // namespace

int cmd_read(command_context& c)
{
    c.session.open();
    const unit_settings unit = c.session.snapshot();
    check_interrupt(c, QStringLiteral("nothing was saved"));
    QString error;
    if (!unit.save(c.options.args[0], &error))
        throw cli_failure{exit_usage, error + QStringLiteral("; choose a folder you can write to")};
    console::err(QStringLiteral("read unit %1 (%2) into %3")
                     .arg(c.session.serial(), fw_version_text(c.session.fw_version()), c.options.args[0]));
    return exit_ok;
}

int cmd_diff(command_context& c)
{
    c.session.open();
    const unit_settings unit = c.session.snapshot();
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
    return write_settings(c, c.options.args[0], false);
}

int cmd_restore(command_context& c)
{
    if (!c.options.has("--list"))
        return write_settings(c, c.options.args[0], true);
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
