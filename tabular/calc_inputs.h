// One calculation from values a clinician types: the readings, the baby's sex,
// the mother's ethnic group and parity by name or by code, the gestation in
// days or as weeks+days. The centile comes from the population's method,
// called as the calculator form calls it, so it is exactly what a host gets.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"

namespace wrenfield::tabular {

// A value that cannot be used; what() says why, without the option's name.
class ValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

engine::Population parsePopulation(std::string_view text);
// A reading in grams, kilograms or centimetres: a positive number.
double parseMeasurement(std::string_view text);
// Days ("277") or completed weeks and days ("39+4", days 0 to 6).
double parseGestationDays(std::string_view text);
// "Male" (1), "Female" (0), or the codes 1 (male), 0 or 2 (female).
std::int16_t parseSex(std::string_view text);
// A group name of the population's list, in any case, or one of its codes.
std::int16_t parseEthnicGroup(const engine::CoefficientSet& set, std::string_view text);
// A count of previous births, 0 or more, or "4 or more"; 4 and above share one term.
std::int16_t parseParity(std::string_view text);

struct CalcInputs {
    engine::Population population = engine::Population::UnitedKingdom;
    double bwt = 0;       // grams
    double gestDays = 0;  // days
    double wt = 0;        // kg
    double ht = 0;        // cm
    std::int16_t sex = 0;
    std::int16_t eth = 1;
    std::int16_t par = 0;
};

struct CalcResult {
    engine::Population population;
    double centile;  // percent, unrounded
    engine::CentileDetail detail;
};

// Throws RuntimeError when the method raises one (an overflow, say).
CalcResult calculate(const CalcInputs& inputs);

// The centile as the calculator shows it: the nearest whole number, halves up.
std::string roundedCentileText(double centile);

// Three lines: the population, "Customised centile = 38", the unrounded value.
std::string calcText(const CalcResult& result);
// One JSON object with the population, the centile (unrounded and rounded)
// and the intermediate values, each number in its shortest exact text.
std::string calcJson(const CalcResult& result);

}  // namespace wrenfield::tabular
