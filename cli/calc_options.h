// The options that describe one birth, shared by `custcent calc` and
// `custcent chart`: the population, the seven inputs in the shared input
// vocabulary (units, names or codes, weeks+days), --decimal-comma, --strict
// and the band thresholds.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "cli/reading_options.h"
#include "engine/band.h"
#include "tabular/calc_inputs.h"
#include "tabular/vocabulary.h"

namespace wrenfield::cli {

struct BirthOptions {
    std::string population = "United Kingdom";
    std::array<std::string, tabular::kInputFieldCount> inputs;  // bwt, gest, wt, ht, sex, eth, par
    bool strict = false;
    bool decimalComma = false;
    ThresholdOptions thresholds;
};

// Adds --population, the seven inputs, --strict, --decimal-comma, --sga and
// --lga to `command`, storing them in `options`.
void addBirthOptions(CLI::App& command, BirthOptions& options);

// The ethnic groups of every population with their codes, for a help text.
std::string ethnicGroupsHelp();

struct Birth {
    tabular::CalcInputs inputs;
    engine::BandThresholds thresholds;
};

// The typed inputs and thresholds of the options, read as every front end
// reads them. A value that cannot be used ends the command with status 2 and
// a line on stderr naming `command` and the option.
Birth readBirthOptions(const BirthOptions& options, std::string_view command);

}  // namespace wrenfield::cli
