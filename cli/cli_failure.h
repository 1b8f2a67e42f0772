#pragma once
// How a command ends when it cannot do what was asked: the exit code and the one line that says
// what failed and what to do about it.

#include <QString>

enum cli_exit : int {
    exit_ok = 0,
    exit_differs = 1, // diff found differences, or an operation was refused
    exit_usage = 2,
    exit_no_unit = 3,
    exit_link = 4,
    exit_interrupted = 130,
};

struct cli_failure {
    int code;
    QString message;
};
