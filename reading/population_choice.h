// The population a user names on the command line or in a file: one of the
// five names as the calculator writes them ("United Kingdom") or a short
// alias (uk, us, se, nz, au), in any case.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/coefficient_set.h"

namespace wrenfield::reading {

std::optional<engine::Population> populationFromText(std::string_view text);

// The short alias of a population ("uk").
std::string_view populationAlias(engine::Population population);

// "\"United Kingdom\" (uk), \"United States\" (us), ..." for help texts and errors.
std::string populationChoices();

// The coefficients of a population as a label people cannot misread:
// "New Zealand · coefficient set 5.15". (The control's version text,
// "5.15_UK", beside another population's name reads as that population
// computed with United Kingdom coefficients.)
std::string coefficientSetLabel(engine::Population population);

}  // namespace wrenfield::reading
