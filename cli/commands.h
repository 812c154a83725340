// The subcommands of `custcent`. Each one adds itself to the application with
// its options and its callback; a callback throws CommandExit to end with a
// given status.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "tabular/cohort_summary.h"

namespace wrenfield::cli {

struct CommandExit {
    int status;
};

// An option that may be given several times, one value each time, every one
// kept in order: never more than one word after it, so that it cannot take a
// file name that follows it ("--add band births.csv").
inline CLI::Option* repeatable(CLI::Option* option)
{
    return option->expected(1)->allow_extra_args(false)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void addCalcCommand(CLI::App& app);
// Draws the cohort summary into a PNG, SVG or PDF file (by the extension of
// `path`); returns an empty text on success, else what went wrong.
using SummaryPictureWriter = std::function<std::string(const std::string& path, const tabular::CohortSummary& summary,
                                                       const std::string& title)>;

// The writer of the program's picture support, or an empty one when the
// program was built without it (custcent links the painters only when built
// with Qt).
SummaryPictureWriter summaryPictureWriter();

// `batch --summary FILE` draws with `writer`; without one it is refused.
void addBatchCommand(CLI::App& app, SummaryPictureWriter writer = {});
void addFormCommand(CLI::App& app);
void addGuiCommand(CLI::App& app);
void addChartCommand(CLI::App& app);
void addRangesCommand(CLI::App& app);
void addServeCommand(CLI::App& app);

}  // namespace wrenfield::cli
