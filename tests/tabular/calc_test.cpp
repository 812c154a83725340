#include "tabular/calc_inputs.h"

#include <gtest/gtest.h>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"

namespace wrenfield::tabular {
namespace {

using engine::Population;

TEST(CalcValues, Populations)
{
    EXPECT_EQ(parsePopulation("United Kingdom"), Population::UnitedKingdom);
    EXPECT_EQ(parsePopulation("uk"), Population::UnitedKingdom);
    EXPECT_EQ(parsePopulation("US"), Population::UnitedStates);
    EXPECT_EQ(parsePopulation("Sweden"), Population::Sweden);
    EXPECT_EQ(parsePopulation("se"), Population::Sweden);
    EXPECT_EQ(parsePopulation("New Zealand"), Population::NewZealand);
    EXPECT_EQ(parsePopulation("au"), Population::Australia);
    for (const char* bad : {"Narnia", "", "united kingdom", "Sweden ", "gb"})
        EXPECT_THROW(parsePopulation(bad), ValueError) << bad;
}

TEST(CalcValues, Gestation)
{
    struct Case {
        const char* text;
        double days;
    };
    for (Case c : {Case{"280", 280}, Case{"39+4", 277}, Case{"40+0", 280}, Case{"24+6", 174}, Case{"275.5", 275.5}})
        EXPECT_EQ(parseGestationDays(c.text), c.days) << c.text;
    for (const char* bad : {"", "abc", "39+7", "39+", "39.5+1", "39+4+1", "0", "-280", "0+0", "40 weeks"})
        EXPECT_THROW(parseGestationDays(bad), ValueError) << bad;
}

TEST(CalcValues, Measurements)
{
    EXPECT_EQ(parseMeasurement("3400"), 3400);
    EXPECT_EQ(parseMeasurement(" 64.5 "), 64.5);
    EXPECT_EQ(parseMeasurement("1e300"), 1e300);  // large but a number: the method decides
    for (const char* bad : {"", "abc", "0", "-1", "3,400", "1e400", "nan", "inf"})
        EXPECT_THROW(parseMeasurement(bad), ValueError) << bad;
}

TEST(CalcValues, SexAndParity)
{
    EXPECT_EQ(parseSex("Male"), 1);
    EXPECT_EQ(parseSex("male"), 1);
    EXPECT_EQ(parseSex("1"), 1);
    EXPECT_EQ(parseSex("Female"), 0);
    EXPECT_EQ(parseSex("0"), 0);
    EXPECT_EQ(parseSex("2"), 0);
    for (const char* bad : {"", "M", "3", "1.5", "boy"})
        EXPECT_THROW(parseSex(bad), ValueError) << bad;

    EXPECT_EQ(parseParity("0"), 0);
    EXPECT_EQ(parseParity("3"), 3);
    EXPECT_EQ(parseParity("4"), 4);
    EXPECT_EQ(parseParity("7"), 4);
    EXPECT_EQ(parseParity("4 or more"), 4);
    for (const char* bad : {"", "-1", "1.5", "many", "4+"})
        EXPECT_THROW(parseParity(bad), ValueError) << bad;
}

TEST(CalcValues, EthnicGroupsByNameOrCodeOfThePopulation)
{
    const auto& uk = engine::coefficients(Population::UnitedKingdom);
    const auto& se = engine::coefficients(Population::Sweden);
    const auto& nz = engine::coefficients(Population::NewZealand);
    EXPECT_EQ(parseEthnicGroup(uk, "European"), 1);
    EXPECT_EQ(parseEthnicGroup(uk, "Middle Eastern"), 7);
    EXPECT_EQ(parseEthnicGroup(uk, "middle eastern"), 7);
    EXPECT_EQ(parseEthnicGroup(uk, "10"), 10);
    EXPECT_EQ(parseEthnicGroup(se, "Phillipino"), 7);
    EXPECT_EQ(parseEthnicGroup(se, "N Vietnamese"), 26);
    EXPECT_EQ(parseEthnicGroup(nz, "Maori"), 3);
    EXPECT_THROW(parseEthnicGroup(uk, "Maori"), ValueError);  // a New Zealand group
    EXPECT_THROW(parseEthnicGroup(uk, "11"), ValueError);
    EXPECT_THROW(parseEthnicGroup(uk, "0"), ValueError);
    EXPECT_THROW(parseEthnicGroup(uk, ""), ValueError);
    try {
        parseEthnicGroup(nz, "Narnian");
        FAIL();
    } catch (const ValueError& error) {
        // The message lists the population's own groups.
        EXPECT_NE(std::string(error.what()).find("3 Maori"), std::string::npos) << error.what();
    }
}

struct CentileCase {
    const char* name;
    CalcInputs inputs;
    double centile;
    double tolerance;  // half a unit of the last decimal shown
};

void PrintTo(const CentileCase& c, std::ostream* out) { *out << c.name; }

class CalcCentileTest : public ::testing::TestWithParam<CentileCase> {};

TEST_P(CalcCentileTest, AgreesWithTheWorkedValues)
{
    const CentileCase& c = GetParam();
    CalcResult result = calculate(c.inputs);
    EXPECT_NEAR(result.centile, c.centile, c.tolerance);
    EXPECT_EQ(result.detail.centile, result.centile);
}

INSTANTIATE_TEST_SUITE_P(
    Populations, CalcCentileTest,
    ::testing::Values(
        CentileCase{"UnitedKingdom", {Population::UnitedKingdom, 3400, 280, 64, 163, 1, 1, 0}, 38.2216410, 5e-8},
        CentileCase{"UnitedKingdomSecond", {Population::UnitedKingdom, 3000, 273, 70, 170, 0, 2, 1}, 21.2353806, 5e-8},
        CentileCase{"UnitedKingdomThird", {Population::UnitedKingdom, 4200, 287, 90, 155, 1, 6, 4}, 89.4741348, 5e-8},
        CentileCase{"UnitedStates", {Population::UnitedStates, 3400, 280, 64, 163, 1, 1, 0}, 36.7994620, 5e-8},
        CentileCase{"Sweden", {Population::Sweden, 3500, 280, 65, 170, 1, 1, 0}, 35.0635, 5e-5},
        CentileCase{"SwedenPositiveZ", {Population::Sweden, 3100, 266, 58, 160, 0, 4, 2}, 60.5048, 5e-5},
        CentileCase{"NewZealand", {Population::NewZealand, 3500, 280, 70, 165, 1, 1, 0}, 40.9032, 5e-5},
        CentileCase{"Australia", {Population::Australia, 3400, 280, 68, 168, 0, 1, 1}, 33.9737, 5e-5},
        CentileCase{"AboveOneHundred", {Population::UnitedKingdom, 3000, 280, 200, 163, 1, 9, 4}, 100.0000055, 5e-8}),
    [](const ::testing::TestParamInfo<CentileCase>& info) { return std::string(info.param.name); });

// Computed while the program's statics are set up, before main: the
// coefficient sets must be ready from the first moment (a host may compute in
// the constructor of a global object).
const double kCentileBeforeMain = [] {
    try {
        return calculate({Population::UnitedKingdom, 3400, 280, 64, 163, 1, 1, 0}).centile;
    } catch (const std::exception&) {
        return -1.0;
    }
}();

TEST(Calc, WorksBeforeMain)
{
    EXPECT_NEAR(kCentileBeforeMain, 38.2216410, 5e-8);
}

TEST(Calc, DetailOfTheWorkedExample)
{
    CalcResult result = calculate({Population::UnitedKingdom, 3400, 280, 64, 163, 1, 1, 0});
    EXPECT_DOUBLE_EQ(result.detail.termWeight, 3504.5);
    EXPECT_EQ(result.detail.weeks, 40);
    EXPECT_NEAR(result.detail.expected, 3515.0135, 1e-9);
    EXPECT_NEAR(result.detail.spread, 384.19097555, 1e-8);
    EXPECT_NEAR(result.detail.z, -0.299365439, 5e-10);
}

TEST(Calc, ArithmeticErrorsReachTheCaller)
{
    try {
        calculate({Population::UnitedKingdom, 3400, 280, 1e300, 163, 1, 1, 0});
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::Overflow);
    }
}

TEST(Calc, RoundsAsTheCalculatorShowsIt)
{
    struct Case {
        double centile;
        const char* text;
    };
    for (Case c : {Case{38.2216410463, "38"}, Case{47.5, "48"}, Case{47.49, "47"}, Case{0.5, "1"},
                   Case{100.0000055, "100"}, Case{-0.0000055, "0"}, Case{99.5, "100"}})
        EXPECT_EQ(roundedCentileText(c.centile), c.text) << c.centile;
}

TEST(Calc, TextAndJson)
{
    CalcResult result = calculate({Population::Sweden, 3100, 266, 58, 160, 0, 4, 2});
    EXPECT_EQ(calcText(result),
              "Population: Sweden\nCustomised centile = 61\nUnrounded centile: " + shortestText(result.centile) + "\n");
    std::string json = calcJson(result);
    EXPECT_EQ(json.rfind("{\"population\": \"Sweden\", \"centile\": " + shortestText(result.centile) +
                             ", \"rounded\": 61, \"termWeight\": ",
                         0),
              0u)
        << json;
    for (const char* key : {"\"weeks\": 38", "\"proportion\": ", "\"expectedWeight\": ", "\"S\": ", "\"z\": "})
        EXPECT_NE(json.find(key), std::string::npos) << key;
    EXPECT_EQ(json.back(), '\n');
}

}  // namespace
}  // namespace wrenfield::tabular
