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
    std::string text =
        "Plausible values. A value outside its range is computed all the same and flagged, with the flag's code "
        "(custcent calc --strict, custcent batch --strict, strict=True in Python, \"strict\": true over HTTP and "
        "wf_options.strict in C make a flag an error). A birthweight, gestation, booking weight or height of 0 "
        "or below, and any value that is not a finite number, is refused, never computed.\n";
    for (const reading::PlausibleRange& range : reading::plausibleRanges()) {
        const reading::FlagCodes flags = reading::flagCodes(range);
        const std::string codes = flags.low == flags.high
            ? "flag " + std::string(flags.low)
            : "flags " + std::string(flags.low) + ", " + std::string(flags.high);
        text += "\n" + std::string(range.field) + ": " + shortestText(range.low) + " to " + shortestText(range.high) +
            " " + std::string(range.unit) + (range.whole ? ", whole numbers" : "") + " (" + codes + ")\n";
        text += "  below: " + std::string(range.lowHint) + "; above: " + std::string(range.highHint) + "\n";
        text += "  source: " + std::string(range.source) + "\n";
    }
    text += "\neth: the codes of the population's groups (flag " + std::string(reading::kEthnicCodeFlag) +
        "); another code takes the \"other\" term\n";
    for (const engine::CoefficientSet& set : engine::allCoefficientSets()) {
        text += "  " + std::string(set.name) + ":";
        for (const engine::EthnicGroup& group : set.ethnicGroups)
            text += " " + std::to_string(group.code);
        text += "\n";
    }
    text += "  source: " + std::string(reading::kEthnicCodeSource) + "\n";
    std::cout << text;
}

}  // namespace

void addRangesCommand(CLI::App& app)
{
    CLI::App* ranges = app.add_subcommand(
        "ranges",
        "Print the plausible range of every input, of the body mass index of the booking weight and "
        "height, and of the centile: outside it a value is flagged, with the flag's code; and where each "
        "range comes from.");
    ranges->callback(printRanges);
}

}  // namespace wrenfield::cli
