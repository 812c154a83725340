// The options that describe one birth, shared by `custcent calc` and
// `custcent chart`: the population, the readings, the baby's sex and the
// mother's ethnic group and parity, read with the batch library's parsers.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "tabular/calc_inputs.h"

namespace wrenfield::cli {

struct BirthOptions {
    std::string population = "United Kingdom";
    std::string bwt, gest, wt, ht, sex, eth, par;
};

// Adds --population, --bwt, --gest, --wt, --ht, --sex, --eth and --par to
// `command`, storing their texts in `options`.
void addBirthOptions(CLI::App& command, BirthOptions& options);

// The ethnic groups of every population with their codes, for a help text.
std::string ethnicGroupsHelp();

// The typed inputs of the options. A value that cannot be used ends the
// command with status 2 and a line on stderr naming `command` and the option.
tabular::CalcInputs parseBirthOptions(const BirthOptions& options, std::string_view command);

}  // namespace wrenfield::cli
