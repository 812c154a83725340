// Every worked value and edge case of the five populations, to the decimals given.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

#include "centile_call.h"
#include "platform/runtime_error.h"
#include "tests/support/worked_values.h"

namespace wrenfield::engine {
namespace {

using testing::callWithDoubles;
using testing::detailOf;
using testing::Inputs;

constexpr auto UK = Population::UnitedKingdom;
constexpr auto US = Population::UnitedStates;
constexpr auto SE = Population::Sweden;
constexpr auto NZ = Population::NewZealand;
constexpr auto AU = Population::Australia;

TEST(WorkedValues, AgreeToTheDecimalsGiven)
{
    for (const wrenfield::testing::WorkedValue& w : wrenfield::testing::kWorkedValues) {
        SCOPED_TRACE(w.what);
        Variant result = callWithDoubles(w.population, w.inputs);
        ASSERT_TRUE(result.isDouble());
        EXPECT_NEAR(result.number(), w.centile, w.tolerance());

        CentileDetail detail = detailOf(w.population, w.inputs);
        EXPECT_EQ(detail.centile, result.number()) << "typed and variant paths differ";
        if (w.termWeight) {
            EXPECT_NEAR(detail.termWeight, *w.termWeight, 5e-6);
        }
        if (w.z) {
            EXPECT_NEAR(detail.z, *w.z, 5e-5);
        }
        if (w.expected) {
            EXPECT_NEAR(detail.expected, *w.expected, 5e-6);
        }
    }
}

TEST(WorkedValues, IntermediateValuesOfTheUnitedKingdomExample)
{
    CentileDetail d = detailOf(UK, {3400, 280, 64, 163, 1, 1, 0});
    EXPECT_EQ(d.weeks, 40);
    EXPECT_NEAR(d.proportion, 1.003, 5e-12);
    EXPECT_NEAR(d.spread, 384.19097555, 5e-8);
}

TEST(WorkedValues, LargeNegativeZFallsJustBelowZero)
{
    // The 1001st slice reaches past |z| and the constant 2.506628 is slightly
    // low, so the far tails overshoot 0 and 100 by a few millionths.
    Variant result = callWithDoubles(UK, {200, 280, 64, 163, 1, 1, 0});
    EXPECT_NEAR(result.number(), -0.0000055, 5e-8);
}

TEST(WorkedValues, EveryLargeDeviationGivesTheFarTailValue)
{
    // From |z| of about 6 on, the sum has reached its far-tail value. Slices
    // wider than the density itself would let it fall back towards 50; the
    // model keeps the far-tail value for every larger |z| instead.
    const double top = centileFromZ(kLargestIntegratedDeviation);
    const double bottom = centileFromZ(-kLargestIntegratedDeviation);
    EXPECT_NEAR(top, 100.0000055, 5e-8);
    EXPECT_NEAR(bottom, -0.0000055, 5e-8);
    for (double z : {9.0944, 40.0, 200.0, 499.0}) {
        EXPECT_NEAR(centileFromZ(z), top, 1e-12) << z;
        EXPECT_NEAR(centileFromZ(-z), bottom, 1e-12) << z;
    }
    for (double z : {500.5, 1000.0, 2000.0, 5000.0, 20000.0, 77000.0, 1e6, 1e150}) {
        EXPECT_EQ(centileFromZ(z), top) << z;
        EXPECT_EQ(centileFromZ(-z), bottom) << z;
    }
    EXPECT_NEAR(centileFromZ(5), 99.99997754783381, 1e-10);  // below the far tail, unchanged

    // A birthweight of two tonnes, about 5200 spreads above the expected weight.
    EXPECT_EQ(callWithDoubles(UK, {2e6, 280, 64, 163, 1, 1, 0}).number(), top);
    // Where the full-width slices would overflow, the overflow stands.
    EXPECT_THROW(centileFromZ(1e155), wrenfield::RuntimeError);
    EXPECT_THROW(centileFromZ(-1e155), wrenfield::RuntimeError);
}

TEST(WorkedValues, ZOfExactlyZeroGivesFifty)
{
    CentileDetail d = detailOf(UK, {3400, 280, 64, 163, 1, 1, 0});
    Variant result = callWithDoubles(UK, {d.expected, 280, 64, 163, 1, 1, 0});
    EXPECT_EQ(result.number(), 50.0);
}

TEST(Terms, CodesThatMatchNothingTakeTheFallbackTerm)
{
    const double european = detailOf(UK, {3400, 280, 70, 170, 1, 1, 0}).termWeight;
    for (double eth : {10.0, 11.0, 0.0, -1.0, 3.5})
        EXPECT_EQ(detailOf(UK, {3400, 280, 70, 170, 1, eth, 0}).termWeight, european) << eth;

    const double parity4 = detailOf(UK, {3400, 280, 70, 170, 1, 1, 4}).termWeight;
    EXPECT_NEAR(parity4 - detailOf(UK, {3400, 280, 70, 170, 1, 1, 0}).termWeight, 162.7, 1e-9);
    for (double par : {5.0, 7.0, -1.0, 0.5})
        EXPECT_EQ(detailOf(UK, {3400, 280, 70, 170, 1, 1, par}).termWeight, parity4) << par;

    const double female = detailOf(UK, {3400, 280, 70, 170, 0, 1, 0}).termWeight;
    EXPECT_NEAR(detailOf(UK, {3400, 280, 70, 170, 1, 1, 0}).termWeight - female, 97.8, 1e-9);
    for (double sex : {2.0, 1.5, -1.0})
        EXPECT_EQ(detailOf(UK, {3400, 280, 70, 170, sex, 1, 0}).termWeight, female) << sex;
}

TEST(Terms, HeavyMotherMakesTheCubeDominateAndTheLowerClampApply)
{
    // wt 200: weight term -4060.78, far below the clamp.
    EXPECT_EQ(detailOf(UK, {3000, 280, 200, 163, 1, 1, 0}).termWeight, 1500);
}

TEST(Terms, UnitedStatesHeightCubeAddsBelowTheCentre)
{
    // ht 150: height term -83.174 + 6.591 = -76.583.
    double tw = detailOf(US, {3400, 280, 64, 150, 1, 1, 0}).termWeight;
    EXPECT_NEAR(tw, 3453.4 - 76.583 + 66, 1e-9);
}

TEST(Terms, UnitedStatesParityFourIsBelowParityThree)
{
    double p3 = detailOf(US, {3400, 280, 64, 163, 1, 1, 3}).termWeight;
    double p4 = detailOf(US, {3400, 280, 64, 163, 1, 1, 4}).termWeight;
    EXPECT_NEAR(p3 - p4, 125.9 - 122.7, 1e-9);
}

TEST(Inputs, TextsOfDigitsGiveTheSameResultAsNumbers)
{
    Variant bwt("3400"), gest("280"), wt(" 64"), ht("163 "), sex("1"), eth("1.0"), par("0");
    Variant text = custcentukn(bwt, gest, wt, ht, sex, eth, par);
    EXPECT_EQ(text.number(), callWithDoubles(UK, {3400, 280, 64, 163, 1, 1, 0}).number());
}

TEST(Inputs, ZeroIsANumberNotAMissingInput)
{
    Variant result = callWithDoubles(UK, {3400, 280, 64, 163, 1, 0, 0});
    EXPECT_TRUE(result.isDouble());
}

TEST(Inputs, TypedApiMatchesTheVariantMethodExactly)
{
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> bwt(300, 6000), gest(150, 320), wt(35, 160), ht(135, 205);
    std::uniform_int_distribution<int> code(0, 30), parity(0, 6), sex(0, 2);
    for (int n = 0; n < 3000; ++n) {
        auto population = static_cast<Population>(n % kPopulationCount);
        Inputs in{bwt(random),          gest(random),          wt(random), ht(random), double(sex(random)),
                  double(code(random)), double(parity(random))};
        ASSERT_EQ(detailOf(population, in).centile, callWithDoubles(population, in).number());
    }
}

TEST(Populations, NamesAndMethodsInSlotOrder)
{
    const char* names[] = {"United Kingdom", "United States", "Sweden", "New Zealand", "Australia"};
    const char* methods[] = {"custcentukn", "custcentus", "custcentswe", "custcentnz", "custcentau"};
    auto sets = allCoefficientSets();
    ASSERT_EQ(sets.size(), kPopulationCount);
    for (std::size_t i = 0; i < kPopulationCount; ++i) {
        EXPECT_EQ(sets[i].name, names[i]);
        EXPECT_EQ(sets[i].methodName, methods[i]);
        EXPECT_EQ(populationByName(names[i]), sets[i].population);
    }
    EXPECT_FALSE(populationByName("united kingdom"));
    EXPECT_FALSE(populationByName("United Kingdom "));
    EXPECT_FALSE(populationByName(""));
}

TEST(Populations, GroupCodesAreAscendingAndNamesUnique)
{
    for (const CoefficientSet& set : allCoefficientSets()) {
        SCOPED_TRACE(std::string(set.name));
        for (std::size_t i = 0; i < set.ethnicGroups.size(); ++i) {
            EXPECT_EQ(set.ethnicGroups[i].code, static_cast<std::int16_t>(i + 1));
            EXPECT_EQ(ethnicGroupByName(set, set.ethnicGroups[i].name), &set.ethnicGroups[i]);
        }
        EXPECT_EQ(set.ethnicGroups.front().term, 0.0);  // the reference group
    }
    EXPECT_EQ(coefficients(Population::Sweden).ethnicGroups.size(), 27u);
    EXPECT_EQ(ethnicGroupByName(coefficients(Population::Sweden), "Phillipino")->code, 7);
}

}  // namespace
}  // namespace wrenfield::engine
