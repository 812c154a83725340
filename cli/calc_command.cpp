// custcent calc: one customised centile from the options.
#include <iostream>
#include <string>

#include "cli/calc_options.h"
#include "cli/commands.h"
#include "platform/numeric_text.h"
#include "reading/input_text.h"
#include "reading/json.h"

namespace wrenfield::cli {

namespace {

struct CalcOptions {
    BirthOptions birth;
    bool json = false;
};

// The population, the inputs as used, "Customised centile = 38" (with one
// decimal where the whole number would contradict the band: "9.9"), the
// unrounded value, the band in words, the expected weight and the flags, one
// to a line.
std::string resultText(const reading::BirthResult& result)
{
    using namespace reading;
    const engine::CoefficientSet& set = engine::coefficients(result.population);
    const engine::CentileInputs& in = result.inputs;
    std::string text = "Population: " + std::string(set.name) + "\n";
    text += "Birthweight: " + measurementText(in.bwt) + " g\n";
    text += "Gestation: " + gestationText(in.gestDays) + "\n";
    text += "Booking weight: " + measurementText(in.wt) + " kg\n";
    text += "Height: " + measurementText(in.ht) + " cm\n";
    text += "Sex: " + sexText(in.sex) + "\n";
    text += "Ethnic group: " + ethnicGroupText(set, in.eth) + "\n";
    text += "Parity: " + parityText(in.par) + "\n";
    text += "Customised centile = " + centileText(result.centile(), result.thresholds) + "\n";
    text += "Unrounded centile: " + shortestText(result.centile()) + "\n";
    text += "Band: " + bandWords(result.band, result.thresholds) + "\n";
    text += "Expected weight: " + measurementText(result.detail.expected) + " g at " +
        measurementText(result.detail.weeks) + " weeks\n";
    if (result.flags.empty())
        text += "Flags: none\n";
    for (const Flag& flag : result.flags)
        text += "Flag: " + flag.text + "\n";
    return text;
}

void runCalc(const CalcOptions& options)
{
    const reading::BirthResult result = readBirthOptions(options.birth, "calc");
    if (!result.computed())
        failBirth(result, "calc");
    std::cout << (options.json ? reading::resultJson(result) + "\n" : resultText(result)) << std::flush;
}

}  // namespace

void addCalcCommand(CLI::App& app)
{
    auto options = std::make_shared<CalcOptions>();
    CLI::App* calc = app.add_subcommand(
        "calc",
        "Compute the customised centile of one baby. Prints the centile rounded to a whole number "
        "(halves up, as the calculator shows it; with one decimal, on the band's side, where the whole "
        "number would contradict the band: 9.911 is \"9.9\", below the 10th) and unrounded.");
    addBirthOptions(*calc, options->birth,
                    "Treat a flagged input (a value outside the plausible range, a code of no group) as an error: "
                    "exit status 1 and no result.");
    calc->add_flag("--json", options->json,
                   "Print one JSON object: population, centile (unrounded), rounded, centileText (as shown beside "
                   "the band: 56, 9.9), band (SGA, AGA, LGA), "
                   "bandLabel (SGA <3rd...), bandWords, termWeight (g, after the 1500..4500 clamp), weeks, "
                   "proportion, expectedWeight (g), spread (g), z, flags ([{code, text}]), inputs (as used) and "
                   "coefficientSetVersion: the record the HTTP service answers with.");
    calc->footer(ethnicGroupsHelp() +
                 "\nExample: custcent calc --bwt 3400 --gest 40+0 --wt 64 --ht 163 --sex Male --eth European --par 0\n"
                 "The output echoes the inputs as used, the centile (rounded and unrounded), the band, the "
                 "expected weight and any flags: values outside the plausible range (a gestation below 22 weeks, "
                 "a height below 100 cm...) are computed all the same but flagged. A birthweight, gestation, "
                 "weight or height of 0 or below, or an infinite number, is refused.\n"
                 "Exit status: 0 computed; 1 the values lead to an arithmetic error (an overflow, say) and no "
                 "centile, or --strict and a flag; 2 a missing or unusable value or option (the line on stderr "
                 "names every missing input: \"missing: bwt, gest\").");
    calc->callback([options] { runCalc(*options); });
}

}  // namespace wrenfield::cli
