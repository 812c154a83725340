// The options that describe one birth, shared by `custcent calc` and
// `custcent chart`: the population, the seven inputs in the shared input
// vocabulary (units, names or codes, weeks+days), --decimal-comma, and the
// options of the reading (--sga, --lga, --strict, --exact).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "cli/reading_options.h"
#include "reading/result.h"
#include "reading/vocabulary.h"

namespace wrenfield::cli {

struct BirthOptions {
    std::string population = "United Kingdom";
    std::array<std::string, reading::kInputFieldCount> inputs;  // bwt, gest, wt, ht, sex, eth, par; "" when not given
    bool decimalComma = false;
    std::string bwtUnit = "g", wtUnit = "kg", htUnit = "cm";  // of bare numbers
    ReadingOptionValues reading;
};

// Adds --population, the seven inputs, --decimal-comma, the units of bare
// numbers (--bwt-unit, --wt-unit, --ht-unit), --sga, --lga, --strict and
// --exact to `command`, storing them in `options`.
void addBirthOptions(CLI::App& command, BirthOptions& options, const std::string& strictHelp);

// The ethnic groups of every population with their codes, for a help text.
std::string ethnicGroupsHelp();

// The birth the options give, read as every front end reads one. An option
// of the reading that cannot be used (--sga 120, --bwt-unit cm) ends the
// command with status 2 and a line on stderr.
reading::BirthResult readBirthOptions(const BirthOptions& options, std::string_view command);

// Ends the command for a birth that gave no centile: its error on stderr,
// status 2 for a missing or refused input, 1 for a run-time error of the
// computation or a flag under --strict.
[[noreturn]] void failBirth(const reading::BirthResult& result, std::string_view command);

}  // namespace wrenfield::cli
