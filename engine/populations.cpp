// The five population coefficient sets and their ethnic groups. Every value is
// the double nearest to the decimal written here.
#include <algorithm>

#include "engine/coefficient_set.h"

namespace wrenfield::engine {

namespace {

constexpr EthnicGroup kUnitedKingdomGroups[] = {
    {1, "European", 0},           {2, "Indian", -149.4},         {3, "Pakistani", -187.3},
    {4, "Bangladeshi", -79.3},    {5, "Afro-Caribbean", -127.5}, {6, "African", -218.5},
    {7, "Middle Eastern", -89.9}, {8, "Far East Asian", -0.3},   {9, "South East Asian", +56.4},
    {10, "Other", std::nullopt},
};

constexpr EthnicGroup kUnitedStatesGroups[] = {
    {1, "European", 0},
    {2, "Hispanic", -38.6},
    {3, "African American", -161},
    {4, "Other", -140.8},
};

constexpr EthnicGroup kSwedenGroups[] = {
    {1, "Scandinavian", 0},           {2, "Abyssinian", -129.37},   {3, "Algerian", -44.17},
    {4, "Bangladeshi", -218.54},      {5, "Chilean", +39.34},       {6, "Finnish", +23.77},
    {7, "Phillipino", +149.59},       {8, "Gambian", -200.39},      {9, "Greek", -70.78},
    {10, "Indian", -150.53},          {11, "Iraqi", -109.59},       {12, "Iranian", -43.55},
    {13, "Yugoslavian", -38.24},      {14, "S Korean", +90.51},     {15, "Lebanese", -140.51},
    {16, "Moroccon", -44.71},         {17, "Peruvian", +131.4},     {18, "Pakistani", -212.39},
    {19, "Somali", -240.91},          {20, "Syrian", -103.71},      {21, "Thai", +100.71},
    {22, "Czechoslovakian", -110.73}, {23, "Turkish", -93.19},      {24, "Hungarian", -112.22},
    {25, "S Vietnamese", -38.43},     {26, "N Vietnamese", -38.43}, {27, "Other", std::nullopt},
};

constexpr EthnicGroup kNewZealandGroups[] = {
    {1, "European", 0},   {2, "Indian", -149.5}, {3, "Maori", -66.8},        {4, "Chinese", +100.9},
    {5, "Samoan", +84.2}, {6, "Tongan", +124.1}, {7, "Other", std::nullopt},
};

constexpr EthnicGroup kAustraliaGroups[] = {
    {1, "European", 0},
    {2, "Indian/Pakistani", -162},
    {3, "Middle Eastern", -110},
    {4, "African", -297.4},
};

constexpr CoefficientSet kSets[kPopulationCount] = {
    {
        .population = Population::UnitedKingdom,
        .name = "United Kingdom",
        .methodName = "custcentukn",
        .constant = 3455.6,
        .weightCentre = 64,
        .weightLinear = 9.1733,
        .weightSquare = -0.151,
        .weightCube = -0.001,
        .heightCentre = 163,
        .heightLinear = 6.7,
        .heightCube = 0,
        .heightForm = HeightForm::Linear,
        .centredHeightWriteBack = false,
        .sexMale = +48.9,
        .sexOther = -48.9,
        .ethnicGroups = kUnitedKingdomGroups,
        .ethnicOther = 0,
        .parity = {0, +101.9, +133.7, +140.2},
        .parityOther = +162.7,
        .coefficientOfVariation = 0.1093,
    },
    {
        .population = Population::UnitedStates,
        .name = "United States",
        .methodName = "custcentus",
        .constant = 3453.4,
        .weightCentre = 64,
        .weightLinear = 7.578,
        .weightSquare = -0.087,
        .weightCube = +0.0005,
        .heightCentre = 163,
        .heightLinear = 6.398,
        .heightCube = -0.003,
        .heightForm = HeightForm::LinearMinusCube,
        .centredHeightWriteBack = false,
        .sexMale = +66,
        .sexOther = -66,
        .ethnicGroups = kUnitedStatesGroups,
        .ethnicOther = 0,
        .parity = {0, +96.2, +121.9, +125.9},
        .parityOther = +122.7,
        .coefficientOfVariation = 0.1093,
    },
    {
        .population = Population::Sweden,
        .name = "Sweden",
        .methodName = "custcentswe",
        .constant = 3544.534,
        .weightCentre = 63,
        .weightLinear = 8.872,
        .weightSquare = -0.0548,
        .weightCube = +0.000059,
        .heightCentre = 167,
        .heightLinear = 8.316,
        .heightCube = -0.0004,
        .heightForm = HeightForm::NestedCube,
        .centredHeightWriteBack = true,
        .sexMale = +64.435,
        .sexOther = -64.435,
        .ethnicGroups = kSwedenGroups,
        .ethnicOther = 0,
        .parity = {0, +147.072, +197.347, +215.883},
        .parityOther = +232.594,
        .coefficientOfVariation = 0.1157,
    },
    {
        .population = Population::NewZealand,
        .name = "New Zealand",
        .methodName = "custcentnz",
        .constant = 3464.4,
        .weightCentre = 64,
        .weightLinear = 8.4,
        .weightSquare = -0.114,
        .weightCube = +0.00065,
        .heightCentre = 163,
        .heightLinear = 9.553,
        .heightCube = 0,
        .heightForm = HeightForm::Linear,
        .centredHeightWriteBack = false,
        .sexMale = +57.7,
        .sexOther = -57.7,
        .ethnicGroups = kNewZealandGroups,
        .ethnicOther = +13.3,
        .parity = {0, +101.6, +101.8, +123.3},
        .parityOther = +175.5,
        .coefficientOfVariation = 0.119,
    },
    {
        .population = Population::Australia,
        .name = "Australia",
        .methodName = "custcentau",
        .constant = 3463.6,
        .weightCentre = 64,
        .weightLinear = 9,
        .weightSquare = -0.15,
        .weightCube = +0.001,
        .heightCentre = 163,
        .heightLinear = 7.8,
        .heightCube = 0,
        .heightForm = HeightForm::Linear,
        .centredHeightWriteBack = false,
        .sexMale = +66.9,
        .sexOther = -66.9,
        .ethnicGroups = kAustraliaGroups,
        .ethnicOther = 0,
        .parity = {0, +94.8, +115.2, +116},
        .parityOther = +99.2,
        .coefficientOfVariation = 0.1185,
    },
};

}  // namespace

const CoefficientSet& coefficients(Population population)
{
    return kSets[static_cast<std::size_t>(population)];
}

std::span<const CoefficientSet> allCoefficientSets()
{
    return kSets;
}

std::optional<Population> populationByName(std::string_view name)
{
    for (const CoefficientSet& set : kSets)
        if (set.name == name)
            return set.population;
    return std::nullopt;
}

const EthnicGroup* ethnicGroupByName(const CoefficientSet& set, std::string_view name)
{
    auto it = std::find_if(set.ethnicGroups.begin(), set.ethnicGroups.end(),
                           [&](const EthnicGroup& group) { return group.name == name; });
    return it == set.ethnicGroups.end() ? nullptr : &*it;
}

const EthnicGroup* ethnicGroupByCode(const CoefficientSet& set, std::int16_t code)
{
    auto it = std::find_if(set.ethnicGroups.begin(), set.ethnicGroups.end(),
                           [&](const EthnicGroup& group) { return group.code == code; });
    return it == set.ethnicGroups.end() ? nullptr : &*it;
}

}  // namespace wrenfield::engine
