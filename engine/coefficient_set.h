// The constants one population method applies: the population's coefficient
// set, with the names and codes of its ethnic groups. The five sets are data
// (populations.cpp); one model (centile_model.h) applies any of them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace wrenfield::engine {

// In the slot order of the control's methods.
enum class Population : std::uint8_t { UnitedKingdom, UnitedStates, Sweden, NewZealand, Australia };

inline constexpr std::size_t kPopulationCount = 5;

// The version of the five coefficient sets, as the control names its own.
inline constexpr std::string_view kCoefficientSetVersion = "5.15_UK";

// How the height term is formed from the centred height h. The evaluation
// order of each form is part of the result.
enum class HeightForm : std::uint8_t {
    Linear,           // linear × h
    LinearMinusCube,  // a = h × linear; b = h × |cube|; c = h × b; d = h × c; a − d
    NestedCube,       // t1 = h × h; t2 = cube × t1; t3 = t2 + linear; t3 × h
};

struct EthnicGroup {
    std::int16_t code;
    std::string_view name;
    // The group's own term in grams; a group without one ("Other" in most
    // populations) takes the term for any other code.
    std::optional<double> term;
};

struct CoefficientSet {
    Population population;
    std::string_view name;        // "United Kingdom"
    std::string_view methodName;  // "custcentukn"

    double constant;

    double weightCentre;
    double weightLinear;
    double weightSquare;
    double weightCube;

    double heightCentre;
    double heightLinear;
    double heightCube;  // 0 where the term is absent
    HeightForm heightForm;
    // Sweden stores the centred height back into the caller's `ht`.
    bool centredHeightWriteBack;

    double sexMale;   // `sex` = 1
    double sexOther;  // any other `sex`

    // Every named group, in ascending code order; those with a term are the
    // codes the ethnic term is matched against.
    std::span<const EthnicGroup> ethnicGroups;
    double ethnicOther;  // a code that matches no group with a term

    std::array<double, 4> parity;  // `par` = 0, 1, 2, 3
    double parityOther;            // any other `par` ("4 or more")

    double coefficientOfVariation;
};

// Shared by all five populations.
inline constexpr double kTermWeightLowerClamp = 1500;
inline constexpr double kTermWeightUpperClamp = 4500;
inline constexpr double kProportionC0 = 2.991;
inline constexpr double kProportionC1 = -0.3185;
inline constexpr double kProportionC2 = 0.01094;
inline constexpr double kProportionC3 = -0.0001055;

// The integration of the normal density: 1001 midpoint slices of |z| / 1000,
// each density divided by this constant (not the full-precision root of 2π).
inline constexpr int kIntegrationSlices = 1001;
inline constexpr double kSliceDivisor = 1000;
inline constexpr double kDensityDivisor = 2.506628;

// Beyond this |z| the 1001 slices grow so wide that the midpoint sum falls
// back from its far-tail value towards 0 (a birthweight 5000 spreads above
// the expected weight would come out near the 59th centile, and 20000 spreads
// at exactly the 50th). Every |z| from about 6 up to this limit already gives
// the far-tail value (100.0000055, or -0.0000055 below), so a larger |z| is
// integrated as this one: results up to the limit are unchanged, those
// beyond it get the far-tail value instead of a wrong one, and a |z| so large
// that the full-width slices overflow still ends with an overflow.
inline constexpr double kLargestIntegratedDeviation = 500;

const CoefficientSet& coefficients(Population population);
std::span<const CoefficientSet> allCoefficientSets();  // in slot order

// Exact, case-sensitive match of the whole name ("United Kingdom").
std::optional<Population> populationByName(std::string_view name);

// The group of a population with exactly this name, if any.
const EthnicGroup* ethnicGroupByName(const CoefficientSet& set, std::string_view name);
const EthnicGroup* ethnicGroupByCode(const CoefficientSet& set, std::int16_t code);

}  // namespace wrenfield::engine
