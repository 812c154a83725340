// The inputs of a birth as the front ends echo them back, and the centile as
// the calculator shows it.
#pragma once

#include <string>

#include "engine/coefficient_set.h"

namespace wrenfield::reading {

std::string gestationText(double days);  // "277 days (39+4)"
std::string sexText(double code);        // "Male (1)", "Female (0)", "9 (female term)"
std::string ethnicGroupText(const engine::CoefficientSet& set, double code);  // "European (1)", "99 (no group of ...)"
std::string parityText(double code);                                          // "0", "4 or more (7)"
// A measurement with at most two decimals: "3401.94", "64", "162.56".
std::string measurementText(double value);

// The centile as the calculator shows it: the nearest whole number, halves up.
double roundedCentile(double centile);
std::string roundedCentileText(double centile);

}  // namespace wrenfield::reading
