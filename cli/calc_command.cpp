// custcent calc: one customised centile from the options.
#include <iostream>
#include <string>

#include "cli/calc_options.h"
#include "cli/commands.h"
#include "engine/plausibility.h"
#include "platform/runtime_error.h"
#include "tabular/calc_inputs.h"
#include "tabular/vocabulary.h"

namespace wrenfield::cli {

using namespace wrenfield::tabular;

namespace {

struct CalcOptions {
    BirthOptions birth;
    bool json = false;
};

void runCalc(const CalcOptions& options)
{
    const Birth birth = readBirthOptions(options.birth, "calc");
    const CalcInputs& inputs = birth.inputs;
    const engine::BandThresholds& thresholds = birth.thresholds;

    std::string output;
    try {
        CalcResult result = calculate(inputs, thresholds);
        if (options.birth.strict && !result.flags.empty()) {
            std::cerr << "custcent calc: --strict: the inputs are flagged: " << engine::flagTexts(result.flags)
                      << "\n";
            throw CommandExit{1};
        }
        output = options.json ? calcJson(result) : calcText(result);
    } catch (const RuntimeError& error) {
        std::cerr << "custcent calc: the centile cannot be computed: " << error.what() << "\n";
        throw CommandExit{1};
    }
    std::cout << output << std::flush;
}

}  // namespace

void addCalcCommand(CLI::App& app)
{
    auto options = std::make_shared<CalcOptions>();
    CLI::App* calc = app.add_subcommand(
        "calc", "Compute the customised centile of one baby. Prints the centile rounded to a whole number "
                "(halves up, as the calculator shows it) and unrounded.");
    addBirthOptions(*calc, options->birth);
    calc->add_flag("--json", options->json,
                   "Print one JSON object: population, centile (unrounded), rounded, termWeight (g, after the "
                   "1500..4500 clamp), weeks, proportion, expectedWeight (g), S (spread, g), z, band (SGA, AGA, "
                   "LGA), bandLabel, bandWords, inputs (as used), flags ([{code, text}]) and "
                   "coefficientSetVersion.");
    calc->footer(ethnicGroupsHelp() +
                 "\nExample: custcent calc --bwt 3400 --gest 40+0 --wt 64 --ht 163 --sex Male --eth European --par 0\n"
                 "The output echoes the inputs as used, the centile (rounded and unrounded), the band, the "
                 "expected weight and any flags: values outside the plausible range (a gestation below 22 weeks, "
                 "a height below 100 cm...) are computed all the same but flagged.\n"
                 "Exit status: 0 computed; 1 the values lead to an arithmetic error (an overflow, say) and no "
                 "centile, or --strict and a flag; 2 a missing or unusable option.");
    calc->callback([options] { runCalc(*options); });
}

}  // namespace wrenfield::cli
