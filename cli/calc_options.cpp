#include "cli/calc_options.h"

#include <iostream>

#include "cli/commands.h"
#include "tabular/population_choice.h"

namespace wrenfield::cli {

using namespace wrenfield::tabular;

namespace {

template <typename Parse>
auto parseOption(std::string_view command, const char* option, const std::string& text, Parse parse)
{
    try {
        return parse(text);
    } catch (const ValueError& error) {
        std::cerr << "custcent " << command << ": " << option << ": " << error.what() << "\n";
        throw CommandExit{2};
    }
}

}  // namespace

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

void addBirthOptions(CLI::App& command, BirthOptions& options)
{
    command.add_option("--population,-p", options.population,
                       "Population coefficient set: " + populationChoices() + ". Default \"United Kingdom\".")
        ->type_name("NAME");
    command.add_option("--bwt", options.bwt, "Birthweight in grams (e.g. 3400).")->required()->type_name("G");
    command
        .add_option("--gest", options.gest, "Gestation at birth: days (280) or completed weeks+days (39+4 = 277 days).")
        ->required()
        ->type_name("DAYS|W+D");
    command.add_option("--wt", options.wt, "Mother's booking weight in kilograms (e.g. 64).")
        ->required()
        ->type_name("KG");
    command.add_option("--ht", options.ht, "Mother's height in centimetres (e.g. 163).")->required()->type_name("CM");
    command.add_option("--sex", options.sex, "Baby's sex: Male or Female, or the code 1 (male), 0 or 2 (female).")
        ->required()
        ->type_name("S");
    command
        .add_option("--eth", options.eth,
                    "Mother's ethnic group: a group name of the chosen population (in quotes if it has a blank, "
                    "e.g. \"Middle Eastern\") or its code; see the list below.")
        ->required()
        ->type_name("E");
    command
        .add_option("--par", options.par,
                    "Parity at booking (previous births): 0, 1, 2, 3, or \"4 or more\" (any number from 4 up "
                    "counts as 4 or more).")
        ->required()
        ->type_name("P");
}

CalcInputs parseBirthOptions(const BirthOptions& options, std::string_view command)
{
    CalcInputs inputs;
    inputs.population = parseOption(command, "--population", options.population, parsePopulation);
    inputs.bwt = parseOption(command, "--bwt", options.bwt, parseMeasurement);
    inputs.gestDays = parseOption(command, "--gest", options.gest, parseGestationDays);
    inputs.wt = parseOption(command, "--wt", options.wt, parseMeasurement);
    inputs.ht = parseOption(command, "--ht", options.ht, parseMeasurement);
    inputs.sex = parseOption(command, "--sex", options.sex, parseSex);
    const engine::CoefficientSet& set = engine::coefficients(inputs.population);
    inputs.eth = parseOption(command, "--eth", options.eth,
                             [&set](std::string_view text) { return parseEthnicGroup(set, text); });
    inputs.par = parseOption(command, "--par", options.par, parseParity);
    return inputs;
}

}  // namespace wrenfield::cli
