// One calculation from values a clinician types, read with the shared input
// vocabulary (vocabulary.h). The centile comes from the population's method,
// called as the calculator form calls it, so it is exactly what a host gets;
// the reading adds the band, the expected weight and the plausibility flags.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/band.h"
#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "engine/plausibility.h"
#include "tabular/vocabulary.h"

namespace wrenfield::tabular {

// A value that cannot be used; what() says why, without the option's name.
class ValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A population name or alias in any case; throws ValueError naming the choices.
engine::Population parsePopulation(std::string_view text);

// One value of one birth, read with the shared vocabulary (readField) as the
// command line reads it (measurements above 0); throws ValueError for a text
// it cannot read or a missing value. New callers use readField or
// readBirthTexts, which return errors as values.
double parseField(InputField field, const engine::CoefficientSet& set, std::string_view text);
// A measurement without a unit: a positive number.
double parseMeasurement(std::string_view text);
double parseGestationDays(std::string_view text);                                   // "277", "39+4"
double parseSex(std::string_view text);                                             // Male, F, 1, 0, 2...
double parseEthnicGroup(const engine::CoefficientSet& set, std::string_view text);  // a name or a code
double parseParity(std::string_view text);                                          // 0.., "4 or more"

struct CalcInputs {
    engine::Population population = engine::Population::UnitedKingdom;
    double bwt = 0;       // grams
    double gestDays = 0;  // days
    double wt = 0;        // kg
    double ht = 0;        // cm
    double sex = 0;       // 1 male, 0 or 2 female
    double eth = 1;       // the population's group code
    double par = 0;       // previous births; 4 and above share one term
};

struct CalcResult {
    engine::Population population;
    double centile;  // percent, unrounded
    engine::CentileDetail detail;
    CalcInputs inputs;
    engine::BandThresholds thresholds;
    engine::Band band = engine::Band::Appropriate;
    std::vector<engine::Flag> flags;
};

// Throws RuntimeError when the method raises one (an overflow, say).
CalcResult calculate(const CalcInputs& inputs, const engine::BandThresholds& thresholds = {});

// The centile as the calculator shows it: the nearest whole number, halves up.
std::string roundedCentileText(double centile);

// The population, the inputs as used (normalised), "Customised centile = 38",
// the unrounded value, the band in words, the expected weight and the flags,
// one to a line.
std::string calcText(const CalcResult& result);
// One JSON object with the same, each number in its shortest exact text.
std::string calcJson(const CalcResult& result);

// A text as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);

}  // namespace wrenfield::tabular
