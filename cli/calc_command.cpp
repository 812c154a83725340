// custcent calc: one customised centile from the options.
#include <iostream>
#include <string>

#include "tabular/calc_inputs.h"
#include "cli/commands.h"
#include "tabular/population_choice.h"
#include "platform/runtime_error.h"

namespace wrenfield::cli {

using namespace wrenfield::tabular;

namespace {

struct CalcOptions {
    std::string population = "United Kingdom";
    std::string bwt, gest, wt, ht, sex, eth, par;
    bool json = false;
};

// The ethnic groups of every population with their codes, for the help text.
std::string ethnicGroupsHelp()
{
    std::string text = "Ethnic groups (--eth, name or code) of each population:\n";
    for (const engine::CoefficientSet& set : engine::allCoefficientSets()) {
        text += "  " + std::string(set.name) + ":";
        for (const engine::EthnicGroup& group : set.ethnicGroups)
            text += " " + std::to_string(group.code) + " " + std::string(group.name) +
                    (&group == &set.ethnicGroups.back() ? "" : ",");
        text += "\n";
    }
    return text;
}

template <typename Parse>
auto parseOption(const char* option, const std::string& text, Parse parse)
{
    try {
        return parse(text);
    } catch (const ValueError& error) {
        std::cerr << "custcent calc: " << option << ": " << error.what() << "\n";
        throw CommandExit{2};
    }
}

void runCalc(const CalcOptions& options)
{
    CalcInputs inputs;
    inputs.population = parseOption("--population", options.population, parsePopulation);
    inputs.bwt = parseOption("--bwt", options.bwt, parseMeasurement);
    inputs.gestDays = parseOption("--gest", options.gest, parseGestationDays);
    inputs.wt = parseOption("--wt", options.wt, parseMeasurement);
    inputs.ht = parseOption("--ht", options.ht, parseMeasurement);
    inputs.sex = parseOption("--sex", options.sex, parseSex);
    const engine::CoefficientSet& set = engine::coefficients(inputs.population);
    inputs.eth = parseOption("--eth", options.eth, [&set](std::string_view text) { return parseEthnicGroup(set, text); });
    inputs.par = parseOption("--par", options.par, parseParity);

    std::string output;
    try {
        CalcResult result = calculate(inputs);
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
    calc->add_option("--population,-p", options->population,
                     "Population coefficient set: " + populationChoices() + ". Default \"United Kingdom\".")
        ->type_name("NAME");
    calc->add_option("--bwt", options->bwt, "Birthweight in grams (e.g. 3400).")->required()->type_name("G");
    calc->add_option("--gest", options->gest,
                     "Gestation at birth: days (280) or completed weeks+days (39+4 = 277 days).")
        ->required()
        ->type_name("DAYS|W+D");
    calc->add_option("--wt", options->wt, "Mother's booking weight in kilograms (e.g. 64).")
        ->required()
        ->type_name("KG");
    calc->add_option("--ht", options->ht, "Mother's height in centimetres (e.g. 163).")->required()->type_name("CM");
    calc->add_option("--sex", options->sex, "Baby's sex: Male or Female, or the code 1 (male), 0 or 2 (female).")
        ->required()
        ->type_name("S");
    calc->add_option("--eth", options->eth,
                     "Mother's ethnic group: a group name of the chosen population (in quotes if it has a blank, "
                     "e.g. \"Middle Eastern\") or its code; see the list below.")
        ->required()
        ->type_name("E");
    calc->add_option("--par", options->par,
                     "Parity at booking (previous births): 0, 1, 2, 3, or \"4 or more\" (any number from 4 up "
                     "counts as 4 or more).")
        ->required()
        ->type_name("P");
    calc->add_flag("--json", options->json,
                   "Print one JSON object: population, centile (unrounded), rounded, termWeight (g, after the "
                   "1500..4500 clamp), weeks, proportion, expectedWeight (g), S (spread, g) and z.");
    calc->footer(ethnicGroupsHelp() +
                 "\nExample: custcent calc --bwt 3400 --gest 40+0 --wt 64 --ht 163 --sex Male --eth European --par 0\n"
                 "Exit status: 0 computed; 1 the values lead to an arithmetic error (an overflow, say) and no "
                 "centile; 2 a missing or unusable option.");
    calc->callback([options] { runCalc(*options); });
}

}  // namespace wrenfield::cli
