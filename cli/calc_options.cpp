#include "cli/calc_options.h"

#include <iostream>

#include "cli/commands.h"
#include "reading/births.h"
#include "reading/population_choice.h"

namespace wrenfield::cli {

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

void addBirthOptions(CLI::App& command, BirthOptions& options, const std::string& strictHelp)
{
    command
        .add_option("--population,-p", options.population,
                    "Population coefficient set: " + reading::populationChoices() + ". Default \"United Kingdom\".")
        ->type_name("NAME");
    command.add_option("--bwt", options.inputs[0], "Birthweight: grams (3400), or with a unit: 3400g, 3.4kg, 7lb8oz.")
        ->type_name("G");
    command
        .add_option("--gest", options.inputs[1],
                    "Gestation at birth: days (280) or completed weeks+days (39+4 = 277 days).")
        ->type_name("DAYS|W+D");
    command
        .add_option("--wt", options.inputs[2],
                    "Mother's booking weight: kilograms (64), or with a unit: 64kg, 140lb, 10st2lb.")
        ->type_name("KG");
    command
        .add_option("--ht", options.inputs[3],
                    "Mother's height: centimetres (163), or with a unit: 163cm, 1.63m, 5ft4in.")
        ->type_name("CM");
    command
        .add_option("--sex", options.inputs[4],
                    "Baby's sex: Male, Female, M, F, or the code 1 (male), 0 or 2 (female); another code takes "
                    "the female term and is flagged.")
        ->type_name("S");
    command
        .add_option("--eth", options.inputs[5],
                    "Mother's ethnic group: a group name of the chosen population, in any case (in quotes if it "
                    "has a blank, e.g. \"Middle Eastern\") or its code; see the list below. A code of no group "
                    "is flagged.")
        ->type_name("E");
    command
        .add_option("--par", options.inputs[6],
                    "Parity at booking (previous births): 0, 1, 2, 3, or \"4 or more\" (any number from 4 up "
                    "counts as 4 or more).")
        ->type_name("P");
    command.add_flag("--decimal-comma", options.decimalComma, "Numbers are written with a decimal comma (3,4kg).");
    command.add_option("--bwt-unit", options.bwtUnit, "Unit of a bare birthweight: g (default), kg, lb, oz.")
        ->type_name("U");
    command.add_option("--wt-unit", options.wtUnit, "Unit of a bare booking weight: kg (default), lb, st, g.")
        ->type_name("U");
    command.add_option("--ht-unit", options.htUnit, "Unit of a bare height: cm (default), m, mm, in, ft.")
        ->type_name("U");
    options.reading.add(command, strictHelp);
}

reading::BirthResult readBirthOptions(const BirthOptions& options, std::string_view command)
{
    reading::ReadingOptions readingOptions;
    if (auto problem = options.reading.apply(readingOptions))
        unusable(command, *problem);
    // Every option of the seven is read as every front end reads the field;
    // one not given is missing.
    reading::InputDialect dialect;
    dialect.decimalComma = options.decimalComma;
    const struct {
        const char* option;
        reading::InputField field;
        const std::string& text;
        reading::Unit& unit;
    } units[] = {{"--bwt-unit", reading::InputField::Bwt, options.bwtUnit, dialect.bwtUnit},
                 {"--wt-unit", reading::InputField::Wt, options.wtUnit, dialect.wtUnit},
                 {"--ht-unit", reading::InputField::Ht, options.htUnit, dialect.htUnit}};
    for (const auto& unit : units) {
        const reading::UnitChoice choice = reading::chooseUnit(unit.field, unit.text);
        if (!choice.unit)
            unusable(command, std::string(unit.option) + ": " + choice.error);
        unit.unit = *choice.unit;
    }
    reading::BirthTexts texts;
    for (std::size_t c = 0; c < reading::kInputFieldCount; ++c)
        texts.inputs[c] = options.inputs[c];
    texts.population = options.population;
    return reading::readBirth(reading::readBirthTexts(texts, engine::Population::UnitedKingdom, dialect),
                              readingOptions);
}

void failBirth(const reading::BirthResult& result, std::string_view command)
{
    std::cerr << "custcent " << command << ": " << result.error << "\n";
    const bool input = result.outcome == reading::Outcome::Missing || result.outcome == reading::Outcome::Refused;
    throw CommandExit{input ? 2 : 1};
}

}  // namespace wrenfield::cli
