// The subcommands of `custcent`. Each one adds itself to the application with
// its options and its callback; a callback throws CommandExit to end with a
// given status.
#pragma once

#include <CLI/CLI.hpp>

namespace wrenfield::cli {

struct CommandExit {
    int status;
};

void addCalcCommand(CLI::App& app);
void addBatchCommand(CLI::App& app);
void addFormCommand(CLI::App& app);
void addGuiCommand(CLI::App& app);
void addChartCommand(CLI::App& app);
void addServeCommand(CLI::App& app);

}  // namespace wrenfield::cli
