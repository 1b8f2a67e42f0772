#pragma once
// One function per command; each returns the exit code or throws cli_failure.

struct cli_options;
class interrupt_watch;
class unit_session;

struct command_context {
    const cli_options& options;
    unit_session& session;
    interrupt_watch& interrupt;
};

int run_command(command_context& c);

int cmd_list(command_context& c);
int cmd_info(command_context& c);
int cmd_reset(command_context& c);
int cmd_override(command_context& c);
int cmd_calibrate_map(command_context& c);
int cmd_read(command_context& c);
int cmd_diff(command_context& c);
int cmd_write(command_context& c);
int cmd_restore(command_context& c);
int cmd_log(command_context& c);
int cmd_flash(command_context& c);
