// What the form shows for each population: the entries of the population list
// and, per population, the ethnic-group list. The names and codes of the
// groups are the coefficient sets' own (engine/populations.cpp); the form
// keeps only the order in which a list shows them, the group selected by
// default and the code for a text that names none of them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "engine/coefficient_set.h"

namespace wrenfield::form {

struct EthnicList {
    engine::Population population;
    // The groups in the order in which the list shows them, by code.
    std::span<const std::int16_t> entryCodes;
    // The group the population switch selects.
    std::int16_t defaultCode;
    // The code of an ethnic-group text that names none of the population's
    // groups (an empty text included).
    std::int16_t unmatchedCode;
};

const EthnicList& ethnicList(engine::Population population) noexcept;

// The name of an entry of the list (a group of the population's set).
std::string_view ethnicEntryName(const EthnicList& list, std::size_t index);
std::string_view ethnicDefaultName(const EthnicList& list);

// The code the form passes for an ethnic-group text under this population:
// the group with exactly this name, else the list's unmatched code.
std::int16_t ethnicCodeForText(const EthnicList& list, std::string_view text);

// The populations in the order of the population list (alphabetical):
// Australia, New Zealand, Sweden, United Kingdom, United States.
std::span<const engine::Population> populationListOrder() noexcept;

}  // namespace wrenfield::form
