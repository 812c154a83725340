// custcent ranges: the plausible values of every input, and where each range
// comes from.
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "engine/coefficient_set.h"
#include "reading/plausibility.h"
#include "platform/numeric_text.h"

namespace wrenfield::cli {

namespace {

void printRanges()
{
    std::string text = "Plausible values: outside these a value is computed all the same and flagged.\n";
    for (const reading::PlausibleRange& range : reading::plausibleRanges()) {
        text += "\n" + std::string(range.field) + ": " + shortestText(range.low) + " to " + shortestText(range.high) +
                " " + std::string(range.unit) + (range.whole ? ", whole numbers" : "") + "\n";
        text += "  below: " + std::string(range.lowHint) + "; above: " + std::string(range.highHint) + "\n";
        text += "  " + std::string(range.source) + "\n";
    }
    text += "\neth: the codes of the population's groups; another code takes the \"other\" term\n";
    for (const engine::CoefficientSet& set : engine::allCoefficientSets()) {
        text += "  " + std::string(set.name) + ":";
        for (const engine::EthnicGroup& group : set.ethnicGroups)
            text += " " + std::to_string(group.code);
        text += "\n";
    }
    std::cout << text;
}

}  // namespace

void addRangesCommand(CLI::App& app)
{
    CLI::App* ranges = app.add_subcommand(
        "ranges", "Print the plausible range of every input (outside it a value is flagged) and where it comes from.");
    ranges->callback(printRanges);
}

}  // namespace wrenfield::cli
