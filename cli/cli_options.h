#pragma once
// The command line: options that pick the unit, the command and the command's own arguments.

#include "live/record_condition.h"
#include "sim/sim_unit.h"

#include <QSet>
#include <QString>
#include <QStringList>

struct cli_options {
    QStringList ports;
    bool virtual_unit = false;
    QString virtual_store;
    sim_config virtual_config; // --virtual-unit-fw, --virtual-unit-variant
    QString serial;
    bool json = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    QString command;
    QStringList args;
    QSet<QString> flags;      // --all, --dry-run, --force, --list, --write, --factory-cal, --active-cal
    double seconds = -1;      // log: how long to record, < 0 until Ctrl+C; override: how long to hold
    int start_after = 0;      // log: countdown before writing
    double pre_seconds = 0;   // log: records kept from before the start
    bool has_start_when = false;
    record_condition start_when; // log: writing starts once this holds
    bool has_stop_when = false;
    record_condition stop_when;  // log: and ends once this holds
    bool has(const char* flag) const { return flags.contains(QLatin1String(flag)); }
};

// Throws cli_failure (exit_usage) for anything it cannot read.
cli_options parse_cli_options(const QStringList& arguments);

QString cli_usage();
QString command_usage(const QString& command);
