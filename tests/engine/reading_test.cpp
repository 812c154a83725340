// The reading of a result: bands at their boundaries, every plausibility
// flag, and the recompute of batch centiles that sit on a threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/reading.h"

namespace wrenfield::engine {
namespace {

constexpr CentileInputs kTypical{3400, 280, 64, 163, 1, 1, 0};

TEST(Band, BoundariesBelongToTheMiddleBand)
{
    const double justBelowTen = std::nextafter(10.0, 0.0);
    const double justAboveNinety = std::nextafter(90.0, 100.0);
    struct Case {
        double centile;
        Band band;
        const char* label;
    } cases[] = {
        {-0.0000055, Band::VerySmall, "SGA <3rd"}, {2.9999999, Band::VerySmall, "SGA <3rd"},
        {3, Band::Small, "SGA"},                   {9.999999, Band::Small, "SGA"},
        {justBelowTen, Band::Small, "SGA"},        {10, Band::Appropriate, "AGA"},
        {50, Band::Appropriate, "AGA"},            {90, Band::Appropriate, "AGA"},
        {justAboveNinety, Band::Large, "LGA"},     {97, Band::Large, "LGA"},
        {97.0000001, Band::VeryLarge, "LGA >97th"}, {100.0000055, Band::VeryLarge, "LGA >97th"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.centile);
        EXPECT_EQ(bandOf(c.centile), c.band);
        EXPECT_EQ(bandLabel(c.band), c.label);
    }
}

TEST(Band, ThresholdsAreParametersAndAreChecked)
{
    BandThresholds five{2.5, 5, 95, 97.5};
    EXPECT_EQ(bandOf(7, five), Band::Appropriate);
    EXPECT_EQ(bandOf(2, five), Band::VerySmall);
    EXPECT_EQ(bandLabel(Band::VerySmall, five), "SGA <2.5th");
    EXPECT_EQ(bandWords(Band::Small, five), "small for gestational age (SGA, below the 5th centile)");
    EXPECT_EQ(bandWords(Band::Appropriate),
              "appropriate for gestational age (AGA, from the 10th to the 90th centile)");
    EXPECT_FALSE(thresholdProblem(five));
    EXPECT_TRUE(thresholdProblem({3, 50, 40, 97}));
    EXPECT_TRUE(thresholdProblem({3, 10, 90, 101}));
    EXPECT_TRUE(thresholdProblem({NAN, 10, 90, 97}));
    EXPECT_EQ(ordinalText(1), "1st");
    EXPECT_EQ(ordinalText(22), "22nd");
    EXPECT_EQ(ordinalText(12), "12th");
}

TEST(Plausibility, EachMistakeGetsItsNamedFlag)
{
    struct Case {
        Population population;
        CentileInputs inputs;
        std::vector<std::string> texts;
    } cases[] = {
        {Population::UnitedKingdom, kTypical, {}},
        {Population::UnitedKingdom, {3400, 40, 64, 163, 1, 1, 0}, {"gest below 22 weeks — weeks typed as days?"}},
        {Population::UnitedKingdom, {3400, 500, 64, 163, 1, 1, 0}, {"gest above 45 weeks — typing mistake?"}},
        {Population::UnitedKingdom, {3.4, 280, 64, 163, 1, 1, 0}, {"bwt below 200 g — kilograms or pounds?"}},
        {Population::UnitedKingdom, {34000, 280, 64, 163, 1, 1, 0}, {"bwt above 7000 g — typing mistake?"}},
        {Population::UnitedKingdom, {3400, 280, 10, 163, 1, 1, 0}, {"wt below 30 kg — stones or a typing mistake?"}},
        {Population::UnitedKingdom, {3400, 280, 300, 163, 1, 1, 0}, {"wt above 250 kg — pounds?"}},
        {Population::UnitedKingdom, {3400, 280, 64, 1.63, 1, 1, 0}, {"ht below 100 cm — metres?"}},
        {Population::UnitedKingdom, {3400, 280, 64, 1630, 1, 1, 0}, {"ht above 220 cm — millimetres?"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 9, 1, 0}, {"sex 9: female term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1.5, 1, 0}, {"sex 1.5: female term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 99, 0},
         {"eth 99 not a United Kingdom group: \"other\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 10, 0}, {}},
        {Population::Australia, {3400, 280, 64, 163, 1, 7, 0},
         {"eth 7 not an Australia group: \"European\" term used"}},
        {Population::UnitedStates, {3400, 280, 64, 163, 1, 0, 0},
         {"eth 0 not a United States group: \"European\" term used"}},
        {Population::NewZealand, {3400, 280, 64, 163, 1, 3.5, 0},
         {"eth 3.5 not a New Zealand group: \"other\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, -1}, {"par -1: \"4 or more\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 2.5}, {"par 2.5: \"4 or more\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 7}, {}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 40}, {"par above 20 — typing mistake?"}},
        {Population::UnitedKingdom, {3.4, 40, 64, 1.63, 9, 99, 0},
         {"bwt below 200 g — kilograms or pounds?", "gest below 22 weeks — weeks typed as days?",
          "ht below 100 cm — metres?", "sex 9: female term used",
          "eth 99 not a United Kingdom group: \"other\" term used"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        for (const Flag& flag : inputFlags(c.population, c.inputs))
            texts.push_back(flag.text);
        EXPECT_EQ(texts, c.texts) << coefficients(c.population).name << " bwt " << c.inputs.bwt;
    }
}

TEST(Plausibility, RangeEndsAreCredible)
{
    for (const PlausibleRange& range : plausibleRanges()) {
        SCOPED_TRACE(std::string(range.field));
        EXPECT_LT(range.low, range.high);
        EXPECT_FALSE(range.source.empty());
    }
    CentileInputs atEnds{200, 154, 30, 100, 2, 1, 20};
    EXPECT_TRUE(inputFlags(Population::UnitedKingdom, atEnds).empty());
    atEnds = {7000, 315, 250, 220, 0, 1, 0};
    EXPECT_TRUE(inputFlags(Population::UnitedKingdom, atEnds).empty());
}

TEST(Reading, GivesTheMethodsCentileWithBandAndFlags)
{
    Reading typical = readBirth(Population::UnitedKingdom, kTypical);
    EXPECT_NEAR(typical.centile(), 38.2216410, 5e-8);
    EXPECT_EQ(typical.band, Band::Appropriate);
    EXPECT_EQ(typical.detail.weeks, 40);
    EXPECT_TRUE(typical.flags.empty());

    // Weeks typed as days: computed all the same, and flagged.
    Reading weeks = readBirth(Population::UnitedKingdom, {3400, 40, 64, 163, 1, 1, 0});
    EXPECT_EQ(weeks.band, Band::VerySmall);
    ASSERT_EQ(weeks.flags.size(), 1u);
    EXPECT_EQ(weeks.flags[0].code, "gest_low");

    Reading heavy = readBirth(Population::UnitedKingdom, {3000, 280, 200, 163, 1, 9, 4});
    EXPECT_GT(heavy.centile(), 100);
    EXPECT_EQ(heavy.flags.back().code, "centile_above_100");

    Reading kilograms = readBirth(Population::UnitedKingdom, {3.4, 280, 64, 163, 1, 1, 0});
    EXPECT_LT(kilograms.centile(), 0);
    EXPECT_EQ(kilograms.flags.back().code, "centile_below_0");
}

// The birthweight (found by bisection) whose exact centile lies just below
// the 10th, closer than the recompute distance.
double birthweightJustBelowTenth(CentileInputs& inputs)
{
    double low = 2000, high = 3500;
    for (int i = 0; i < 200; ++i) {
        inputs.bwt = (low + high) / 2;
        double c = computeCentile(Population::UnitedKingdom, inputs).centile;
        (c < 10 ? low : high) = inputs.bwt;
    }
    inputs.bwt = low;
    return computeCentile(Population::UnitedKingdom, inputs).centile;
}

TEST(Reading, BatchCentilesNearAThresholdAreRecomputedExactly)
{
    BatchRecord record{Population::UnitedKingdom, kTypical};
    double exact = birthweightJustBelowTenth(record.inputs);
    ASSERT_LT(exact, 10);
    ASSERT_GT(exact, 10 - kBandRecomputeDistance);
    // A kernel value a few bits off, on the other side of the threshold.
    Reading near = readBatchBirth(record, 10 + 0.5 * kBandRecomputeDistance);
    EXPECT_EQ(near.centile(), exact);
    EXPECT_EQ(near.band, Band::Small);

    // Away from every threshold the kernel's value stands, with the method's
    // intermediate values.
    BatchRecord typical{Population::Sweden, kTypical};
    Reading exactReading = readBirth(typical.population, typical.inputs);
    Reading far = readBatchBirth(typical, exactReading.centile() + 1e-12);
    EXPECT_EQ(far.centile(), exactReading.centile() + 1e-12);
    EXPECT_EQ(far.detail.expected, exactReading.detail.expected);
    EXPECT_EQ(far.detail.z, exactReading.detail.z);
    EXPECT_EQ(far.detail.weeks, exactReading.detail.weeks);
    EXPECT_EQ(far.band, exactReading.band);
}

}  // namespace
}  // namespace wrenfield::engine
