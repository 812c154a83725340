#include "cli/calc_options.h"

#include <iostream>

#include "cli/commands.h"
#include "tabular/population_choice.h"

namespace wrenfield::cli {

using namespace wrenfield::tabular;

namespace {

[[noreturn]] void unusable(std::string_view command, const std::string& message)
{
    std::cerr << "custcent " << command << ": " << message << "\n";
    throw CommandExit{2};
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
    command.add_option("--bwt", options.inputs[0], "Birthweight: grams (3400), or with a unit: 3400g, 3.4kg, 7lb8oz.")
        ->required()
        ->type_name("G");
    command
        .add_option("--gest", options.inputs[1], "Gestation at birth: days (280) or completed weeks+days (39+4 = 277 days).")
        ->required()
        ->type_name("DAYS|W+D");
    command
        .add_option("--wt", options.inputs[2],
                    "Mother's booking weight: kilograms (64), or with a unit: 64kg, 140lb, 10st2lb.")
        ->required()
        ->type_name("KG");
    command
        .add_option("--ht", options.inputs[3], "Mother's height: centimetres (163), or with a unit: 163cm, 1.63m, 5ft4in.")
        ->required()
        ->type_name("CM");
    command
        .add_option("--sex", options.inputs[4],
                    "Baby's sex: Male, Female, M, F, or the code 1 (male), 0 or 2 (female); another code takes "
                    "the female term and is flagged.")
        ->required()
        ->type_name("S");
    command
        .add_option("--eth", options.inputs[5],
                    "Mother's ethnic group: a group name of the chosen population, in any case (in quotes if it "
                    "has a blank, e.g. \"Middle Eastern\") or its code; see the list below. A code of no group "
                    "is flagged.")
        ->required()
        ->type_name("E");
    command
        .add_option("--par", options.inputs[6],
                    "Parity at booking (previous births): 0, 1, 2, 3, or \"4 or more\" (any number from 4 up "
                    "counts as 4 or more).")
        ->required()
        ->type_name("P");
    command.add_flag("--strict", options.strict,
                     "Treat a flagged input (a value outside the plausible range, a code of no group) as an error: "
                     "exit status 1 and no result.");
    command.add_flag("--decimal-comma", options.decimalComma, "Numbers are written with a decimal comma (3,4kg).");
    options.thresholds.add(command);
}

Birth readBirthOptions(const BirthOptions& options, std::string_view command)
{
    PopulationReading population = readPopulation(options.population);
    if (!population.population)
        unusable(command, "--population: " + population.error);
    Birth birth;
    if (auto problem = options.thresholds.apply(birth.thresholds))
        unusable(command, *problem);

    // One birth from the command line: every value must be there and
    // measurements above 0; anything else is read as every front end reads it.
    InputDialect dialect;
    dialect.positiveMeasurements = true;
    dialect.decimalComma = options.decimalComma;
    BirthTexts texts;
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        texts.inputs[c] = options.inputs[c];
    BirthReading reading = readBirthTexts(texts, *population.population, dialect);
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        const FieldReading& field = reading.fields[c];
        std::string option = "--" + std::string(kInputColumns[c]);
        if (field.status == FieldStatus::Missing)
            unusable(command, option + ": no value given" +
                                  (options.inputs[c].find_first_not_of(" \t") == std::string::npos
                                       ? std::string()
                                       : " (\"" + options.inputs[c] + "\" marks a missing value)"));
        if (field.status == FieldStatus::Invalid)
            unusable(command, option + ": " + field.error);
    }
    engine::CentileInputs values = reading.inputs();
    birth.inputs = {*population.population, values.bwt, values.gestDays, values.wt, values.ht,
                    values.sex,             values.eth, values.par};
    return birth;
}

}  // namespace wrenfield::cli
