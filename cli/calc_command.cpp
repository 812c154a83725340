// custcent calc: one customised centile from the options.
#include <array>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/reading_options.h"
#include "engine/plausibility.h"
#include "platform/runtime_error.h"
#include "tabular/calc_inputs.h"
#include "tabular/population_choice.h"
#include "tabular/vocabulary.h"

namespace wrenfield::cli {

using namespace wrenfield::tabular;

namespace {

struct CalcOptions {
    std::string population = "United Kingdom";
    std::array<std::string, kInputFieldCount> inputs;  // bwt, gest, wt, ht, sex, eth, par
    bool json = false;
    bool strict = false;
    bool decimalComma = false;
    ThresholdOptions thresholds;
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

[[noreturn]] void unusable(const std::string& message)
{
    std::cerr << "custcent calc: " << message << "\n";
    throw CommandExit{2};
}

void runCalc(const CalcOptions& options)
{
    PopulationReading population = readPopulation(options.population);
    if (!population.population)
        unusable("--population: " + population.error);
    engine::BandThresholds thresholds;
    if (auto problem = options.thresholds.apply(thresholds))
        unusable(*problem);

    // One birth from the command line: every value must be there and
    // measurements above 0; anything else is read as every front end reads it.
    InputDialect dialect;
    dialect.positiveMeasurements = true;
    dialect.decimalComma = options.decimalComma;
    BirthTexts texts;
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        texts.inputs[c] = options.inputs[c];
    BirthReading birth = readBirthTexts(texts, *population.population, dialect);
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        const FieldReading& field = birth.fields[c];
        std::string option = "--" + std::string(kInputColumns[c]);
        if (field.status == FieldStatus::Missing)
            unusable(option + ": no value given" +
                     (options.inputs[c].find_first_not_of(" \t") == std::string::npos
                          ? std::string()
                          : " (\"" + options.inputs[c] + "\" marks a missing value)"));
        if (field.status == FieldStatus::Invalid)
            unusable(option + ": " + field.error);
    }
    engine::CentileInputs values = birth.inputs();
    CalcInputs inputs{*population.population, values.bwt, values.gestDays, values.wt, values.ht,
                      values.sex,             values.eth, values.par};

    std::string output;
    try {
        CalcResult result = calculate(inputs, thresholds);
        if (options.strict && !result.flags.empty()) {
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
    calc->add_option("--population,-p", options->population,
                     "Population coefficient set: " + populationChoices() + ". Default \"United Kingdom\".")
        ->type_name("NAME");
    calc->add_option("--bwt", options->inputs[0],
                     "Birthweight: grams (3400), or with a unit: 3400g, 3.4kg, 7lb8oz.")
        ->required()
        ->type_name("G");
    calc->add_option("--gest", options->inputs[1],
                     "Gestation at birth: days (280) or completed weeks+days (39+4 = 277 days).")
        ->required()
        ->type_name("DAYS|W+D");
    calc->add_option("--wt", options->inputs[2],
                     "Mother's booking weight: kilograms (64), or with a unit: 64kg, 140lb, 10st2lb.")
        ->required()
        ->type_name("KG");
    calc->add_option("--ht", options->inputs[3],
                     "Mother's height: centimetres (163), or with a unit: 163cm, 1.63m, 5ft4in.")
        ->required()
        ->type_name("CM");
    calc->add_option("--sex", options->inputs[4],
                     "Baby's sex: Male, Female, M, F, or the code 1 (male), 0 or 2 (female); another code takes "
                     "the female term and is flagged.")
        ->required()
        ->type_name("S");
    calc->add_option("--eth", options->inputs[5],
                     "Mother's ethnic group: a group name of the chosen population, in any case (in quotes if it "
                     "has a blank, e.g. \"Middle Eastern\") or its code; see the list below. A code of no group "
                     "is flagged.")
        ->required()
        ->type_name("E");
    calc->add_option("--par", options->inputs[6],
                     "Parity at booking (previous births): 0, 1, 2, 3, or \"4 or more\" (any number from 4 up "
                     "counts as 4 or more).")
        ->required()
        ->type_name("P");
    calc->add_flag("--json", options->json,
                   "Print one JSON object: population, centile (unrounded), rounded, termWeight (g, after the "
                   "1500..4500 clamp), weeks, proportion, expectedWeight (g), S (spread, g), z, band (SGA, AGA, "
                   "LGA), bandLabel, bandWords, inputs (as used), flags ([{code, text}]) and "
                   "coefficientSetVersion.");
    calc->add_flag("--strict", options->strict,
                   "Treat a flagged input (a value outside the plausible range, a code of no group) as an error: "
                   "exit status 1 and no result.");
    calc->add_flag("--decimal-comma", options->decimalComma, "Numbers are written with a decimal comma (3,4kg).");
    options->thresholds.add(*calc);
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
