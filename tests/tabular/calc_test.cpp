#include "tabular/calc_inputs.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "tests/support/worked_values.h"

namespace wrenfield::tabular {
namespace {

using engine::Population;

TEST(CalcValues, Populations)
{
    struct Case {
        const char* text;
        Population population;
    } cases[] = {
        {"United Kingdom", Population::UnitedKingdom}, {"uk", Population::UnitedKingdom},
        {"united kingdom", Population::UnitedKingdom}, {"US", Population::UnitedStates},
        {"Sweden", Population::Sweden},                {"se", Population::Sweden},
        {"NEW ZEALAND", Population::NewZealand},       {"au", Population::Australia},
        {" Sweden ", Population::Sweden},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parsePopulation(c.text), c.population) << c.text;
    for (const char* bad : {"Narnia", "", "gb", "UnitedKingdom"})
        EXPECT_THROW(parsePopulation(bad), ValueError) << bad;
}

TEST(Calc, AgreesWithEveryWorkedValue)
{
    for (const auto& w : wrenfield::testing::kWorkedValues) {
        SCOPED_TRACE(w.what);
        const auto& in = w.inputs;
        CalcResult result = calculate({w.population, in[0], in[1], in[2], in[3], in[4], in[5], in[6]});
        EXPECT_NEAR(result.centile, w.centile, w.tolerance());
        EXPECT_EQ(result.detail.centile, result.centile);
    }
}

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
    EXPECT_EQ(calcText(result), "Population: Sweden\nBirthweight: 3100 g\nGestation: 266 days (38+0)\n"
                                "Booking weight: 58 kg\nHeight: 160 cm\nSex: Female (0)\n"
                                "Ethnic group: Bangladeshi (4)\nParity: 2\nCustomised centile = 61\n"
                                "Unrounded centile: " + shortestText(result.centile) +
                                    "\nBand: appropriate for gestational age (AGA, from the 10th to the 90th "
                                    "centile)\nExpected weight: " +
                                    shortestText(std::round(result.detail.expected * 100) / 100) +
                                    " g at 38 weeks\nFlags: none\n");
    std::string json = calcJson(result);
    EXPECT_EQ(json.rfind("{\"population\": \"Sweden\", \"centile\": " + shortestText(result.centile) +
                             ", \"rounded\": 61, \"termWeight\": ",
                         0),
              0u)
        << json;
    for (const char* key : {"\"weeks\": 38", "\"proportion\": ", "\"expectedWeight\": ", "\"S\": ", "\"z\": ",
                            "\"band\": \"AGA\"", "\"ethName\": \"Bangladeshi (4)\"", "\"flags\": []",
                            "\"coefficientSetVersion\": \"5.15_UK\""})
        EXPECT_NE(json.find(key), std::string::npos) << key;
    EXPECT_EQ(json.back(), '\n');

    CalcResult flagged = calculate({Population::UnitedKingdom, 3400, 40, 64, 1.63, 1, 1, 0});
    EXPECT_NE(calcText(flagged).find("Flag: gest below 22 weeks — weeks typed as days?\nFlag: ht below 100 cm — "
                                     "metres?\n"),
              std::string::npos);
    EXPECT_NE(calcJson(flagged).find("\"flags\": [{\"code\": \"gest_low\", \"text\": \"gest below 22 weeks"),
              std::string::npos);
    EXPECT_EQ(jsonString("a \"b\"\\\n"), "\"a \\\"b\\\"\\\\\\u000a\"");
}

}  // namespace
}  // namespace wrenfield::tabular
