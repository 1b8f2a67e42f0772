#pragma once
// Ctrl+C and SIGTERM, which every command watches.

#include "cli/signal_watch.h"

#include <csignal>

class interrupt_watch : public signal_watch {
public:
    static void block_signals() { block({SIGINT, SIGTERM}); }
    interrupt_watch() : signal_watch({SIGINT, SIGTERM}) {}
};
