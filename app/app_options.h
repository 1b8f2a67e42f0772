#pragma once
#include "sim/sim_unit.h"

#include <QString>
#include <QStringList>

// What the command line asked for. With no option the program looks for units on the machine's
// FTDI serial ports only.
struct app_options {
    enum outcome { run, help, version, bad_usage };

    QStringList ports;          // PATH[,DESCRIPTION[,SERIAL]], in the order given
    bool virtual_unit = false;
    sim_config virtual_config;
    QString error;              // one line, for bad_usage

    // Reads the arguments, the program's name first. Needs no application object, so a bad option
    // or --version works without a display.
    static app_options parse(const QStringList& arguments, outcome* result);
    // Needs an application object (Qt names the program from its arguments).
    static QString help_text();
};
