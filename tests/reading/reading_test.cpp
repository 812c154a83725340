// The reading of a birth: bands at their boundaries and the one rule of the
// thresholds, every plausibility flag, the rules of admission with their
// texts, the one road of one birth and of many (the same bits either way, the
// method's own value near a decision point), and the one JSON record.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/numeric_text.h"
#include "reading/admission.h"
#include "reading/births.h"
#include "reading/fields.h"
#include "reading/json.h"
#include "reading/plain_rules.h"
#include "reading/input_text.h"
#include "tests/support/worked_values.h"

namespace wrenfield::reading {
namespace {

using engine::CentileInputs;
using engine::Population;

constexpr CentileInputs kTypical{3400, 280, 64, 163, 1, 1, 0};
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Band, BoundariesBelongToTheMiddleBand)
{
    const double justBelowTen = std::nextafter(10.0, 0.0);
    const double justAboveNinety = std::nextafter(90.0, 100.0);
    struct Case {
        double centile;
        Band band;
        const char* label;
    } cases[] = {
        {-0.0000055, Band::VerySmall, "SGA <3rd"},
        {2.9999999, Band::VerySmall, "SGA <3rd"},
        {3, Band::Small, "SGA"},
        {9.999999, Band::Small, "SGA"},
        {justBelowTen, Band::Small, "SGA"},
        {10, Band::Appropriate, "AGA"},
        {50, Band::Appropriate, "AGA"},
        {90, Band::Appropriate, "AGA"},
        {justAboveNinety, Band::Large, "LGA"},
        {97, Band::Large, "LGA"},
        {97.0000001, Band::VeryLarge, "LGA >97th"},
        {100.0000055, Band::VeryLarge, "LGA >97th"},
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
    EXPECT_EQ(bandWords(Band::Appropriate), "appropriate for gestational age (AGA, from the 10th to the 90th centile)");
    EXPECT_FALSE(thresholdProblem(five));
    EXPECT_TRUE(thresholdProblem({3, 50, 40, 97}));
    EXPECT_TRUE(thresholdProblem({3, 10, 90, 101}));
    EXPECT_TRUE(thresholdProblem({NAN, 10, 90, 97}));
    EXPECT_EQ(ordinalText(1), "1st");
    EXPECT_EQ(ordinalText(22), "22nd");
    EXPECT_EQ(ordinalText(12), "12th");
}

// The one rule behind --sga/--lga, ?sga=&lga= and thresholds=(sga, lga): the
// finer labels stay at the 3rd and 97th, or move with a threshold beyond them.
TEST(Band, TheThresholdsOfSgaAndLga)
{
    struct Case {
        double sga, lga;
        BandThresholds expected;
        const char* error;  // or nullptr
    } cases[] = {
        {10, 90, {3, 10, 90, 97}, nullptr},
        {2, 98, {2, 2, 98, 98}, nullptr},
        {5, 95, {3, 5, 95, 97}, nullptr},
        {0, 100, {0, 0, 100, 100}, nullptr},
        {50, 50, {3, 50, 50, 97}, nullptr},
        {120, 90, {}, "sga: must be a centile from 0 to 100, not 120"},
        {10, -1, {}, "lga: must be a centile from 0 to 100, not -1"},
        {NAN, 90, {}, "sga: must be a centile from 0 to 100, not nan"},
        {95, 90, {}, "sga: the 95th centile lies above lga, the 90th"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.sga) + " " + std::to_string(c.lga));
        const ThresholdChoice choice = thresholdsFor(c.sga, c.lga);
        if (c.error) {
            EXPECT_FALSE(choice.thresholds);
            EXPECT_EQ(choice.error, c.error);
            EXPECT_EQ(choice.field, std::string(c.error).substr(0, 3));
            continue;
        }
        ASSERT_TRUE(choice.thresholds) << choice.error;
        EXPECT_EQ(choice.thresholds->verySmall, c.expected.verySmall);
        EXPECT_EQ(choice.thresholds->sga, c.expected.sga);
        EXPECT_EQ(choice.thresholds->lga, c.expected.lga);
        EXPECT_EQ(choice.thresholds->veryLarge, c.expected.veryLarge);
    }
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
        {Population::UnitedKingdom,
         {3400, 280, 64, 163, 1, 99, 0},
         {"eth 99 not a United Kingdom group: \"other\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 10, 0}, {}},
        {Population::Australia,
         {3400, 280, 64, 163, 1, 7, 0},
         {"eth 7 not an Australia group: \"European\" term used"}},
        {Population::UnitedStates,
         {3400, 280, 64, 163, 1, 0, 0},
         {"eth 0 not a United States group: \"European\" term used"}},
        {Population::NewZealand,
         {3400, 280, 64, 163, 1, 3.5, 0},
         {"eth 3.5 not a New Zealand group: \"other\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, -1}, {"par -1: \"4 or more\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 2.5}, {"par 2.5: \"4 or more\" term used"}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 7}, {}},
        {Population::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 40}, {"par above 20 — typing mistake?"}},
        {Population::UnitedKingdom,
         {3.4, 40, 64, 1.63, 9, 99, 0},
         {"bwt below 200 g — kilograms or pounds?", "gest below 22 weeks — weeks typed as days?",
          "ht below 100 cm — metres?", "sex 9: female term used",
          "eth 99 not a United Kingdom group: \"other\" term used"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        for (const Flag& flag : inputFlags(c.population, c.inputs))
            texts.push_back(flag.text);
        EXPECT_EQ(texts, c.texts) << engine::coefficients(c.population).name << " bwt " << c.inputs.bwt;
        // The batch's quick test of a computed birth agrees, with the centile's own flags.
        for (double centile : {50.0, 0.0, 100.0, -1e-6, 100.000001})
            EXPECT_EQ(anyFlag(c.population, c.inputs, centile), !c.texts.empty() || centile < 0 || centile > 100)
                << engine::coefficients(c.population).name << " bwt " << c.inputs.bwt << " centile " << centile;
    }
}

TEST(Plausibility, RangeEndsAreCredible)
{
    for (const PlausibleRange& range : plausibleRanges()) {
        SCOPED_TRACE(std::string(range.field));
        EXPECT_LT(range.low, range.high);
        EXPECT_FALSE(range.source.empty());
        const PlausibleRange copy = range;
        EXPECT_TRUE(flagCodes(copy).low.starts_with(range.field));
        EXPECT_TRUE(flagCodes(copy).high.starts_with(range.field));
    }
    CentileInputs atEnds{200, 154, 30, 100, 2, 1, 20};
    EXPECT_TRUE(inputFlags(Population::UnitedKingdom, atEnds).empty());
    // 242 kg at 220 cm is an index of 50.0, the index's upper end.
    atEnds = {7000, 315, 242, 220, 0, 1, 0};
    EXPECT_TRUE(inputFlags(Population::UnitedKingdom, atEnds).empty());
}

// A booking weight and a height each credible alone can be a mistake
// together: a weight in pounds read as kilograms. The index is checked only
// where both lie within their own ranges, whose flags otherwise name the
// mistake; its flag speaks of the weight.
TEST(Plausibility, BodyMassIndexOfWeightAndHeight)
{
    struct Case {
        double wt, ht;
        const char* code;  // or nullptr: no index flag
        const char* text;
    } cases[] = {
        {140, 163, "bmi_high", "BMI 52.7 from wt and ht, above 50 — pounds?"},
        {63.5, 163, nullptr, ""},
        {133, 163, "bmi_high", "BMI 50.1 from wt and ht, above 50 — pounds?"},
        {132.8, 163, nullptr, ""},  // 49.98
        {31, 165, "bmi_low", "BMI 11.4 from wt and ht, below 12 — typing mistake?"},
        {32.7, 165, nullptr, ""},
        {300, 163, nullptr, ""},  // wt_high already says pounds?
        {10, 163, nullptr, ""},   // wt_low: stones
        {64, 1.63, nullptr, ""},  // ht_low: metres
        {64, 1630, nullptr, ""},  // ht_high: millimetres
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.wt) + " kg at " + std::to_string(c.ht) + " cm");
        const std::vector<Flag> flags = inputFlags(Population::UnitedKingdom, {3400, 280, c.wt, c.ht, 1, 1, 0});
        const Flag* index = nullptr;
        for (const Flag& flag : flags)
            if (flag.code.starts_with("bmi"))
                index = &flag;
        EXPECT_EQ(anyFlag(Population::UnitedKingdom, {3400, 280, c.wt, c.ht, 1, 1, 0}, 50), !flags.empty());
        if (!c.code) {
            EXPECT_EQ(index, nullptr) << index->text;
            continue;
        }
        ASSERT_NE(index, nullptr);
        EXPECT_EQ(index->code, c.code);
        EXPECT_EQ(index->text, c.text);
        EXPECT_EQ(flagField(*index), "wt");
    }

    // Strict reading makes it an error naming the weight, as every flag.
    ReadingOptions strict;
    strict.strict = true;
    const BirthResult pounds = readValues(Population::UnitedKingdom, {3400, 280, 140, 163, 1, 1, 0}, strict);
    EXPECT_EQ(pounds.outcome, Outcome::Flagged);
    EXPECT_EQ(pounds.error, "flagged: BMI 52.7 from wt and ht, above 50 — pounds?");
    EXPECT_EQ(pounds.field, "wt");
}

// The centile beside its band never reads as another band: the whole number
// where it stays on the centile's side of every threshold, else one decimal
// on that side. Thresholds at the 3rd, 10th, 90th and 97th, and others.
TEST(Band, CentileTextNeverContradictsTheBand)
{
    const BandThresholds five{2.5, 5, 95, 97.5};
    struct Case {
        double centile;
        BandThresholds thresholds;
        const char* text;
    } cases[] = {
        {38.2216, {}, "38"},
        {47.5, {}, "48"},
        {9.911, {}, "9.9"},  // small, and 10 would read as appropriate
        {9.96, {}, "9.9"},   // the nearest tenth, 10.0, is across the threshold too
        {std::nextafter(10.0, 0.0), {}, "9.9"},
        {9.4, {}, "9"},
        {10, {}, "10"},
        {10.3, {}, "10"},
        {90, {}, "90"},
        {90.04, {}, "90.1"},  // large, and 90 would read as appropriate
        {90.5, {}, "91"},
        {89.6, {}, "90"},
        {2.97, {}, "2.9"},  // below the 3rd
        {3.0, {}, "3"},
        {97.02, {}, "97.1"},  // above the 97th
        {96.98, {}, "97"},
        {-0.0000055, {}, "0"},
        {100.0000055, {}, "100"},
        {4.96, five, "4.9"},
        {2.46, five, "2"},  // a threshold at a half: the whole number never crosses it
        {95.01, five, "95.1"},
        {std::nan(""), {}, "nan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.centile);
        const std::string text = centileText(c.centile, c.thresholds);
        EXPECT_EQ(text, c.text);
        if (std::isfinite(c.centile)) {
            EXPECT_EQ(bandOf(std::stod(text), c.thresholds), bandOf(c.centile, c.thresholds));
        }
    }
}

// A birth read field by field: a value, missing, or unreadable.
BirthReading birthOf(std::array<FieldReading, kInputFieldCount> fields,
                     std::optional<Population> population = Population::UnitedKingdom)
{
    BirthReading birth;
    birth.population = population;
    if (!population)
        birth.populationError = "unknown population \"Narnia\"";
    birth.fields = std::move(fields);
    return birth;
}

FieldReading value(double v)
{
    return numberField(v);
}

FieldReading unreadable(const char* error)
{
    return {FieldStatus::Invalid, 0, error};
}

TEST(Admission, EveryRuleWithItsText)
{
    const FieldReading none;
    struct Case {
        BirthReading birth;
        Outcome outcome;  // Computed: admitted
        const char* error;
        const char* field;
    } cases[] = {
        {birthOf({value(3400), value(280), value(64), value(163), value(1), value(1), value(0)}), Outcome::Computed, "",
         ""},
        // Codes out of range and implausible measurements go on, to be flagged.
        {birthOf({value(3.4), value(40), value(1e308), value(1.63), value(9), value(99), value(-1)}), Outcome::Computed,
         "", ""},
        {birthOf({none, value(280), value(64), none, value(1), value(1), value(0)}), Outcome::Missing,
         "missing: bwt, ht", "bwt"},
        {birthOf({value(-3400), value(280), value(64), value(163), value(1), value(1), value(0)}), Outcome::Refused,
         "bwt: must be a positive number, not -3400", "bwt"},
        {birthOf({value(3400), value(0), value(64), value(163), value(1), value(1), value(0)}), Outcome::Refused,
         "gest: must be a positive number, not 0", "gest"},
        {birthOf({value(3400), value(280), value(kInf), value(163), value(-kInf), value(1), value(0)}),
         Outcome::Refused, "wt: must be a finite number, not inf; sex: must be a finite number, not -inf", "wt"},
        {birthOf({value(3400), value(280), value(64), value(163), value(1), value(kInf), value(0)}), Outcome::Refused,
         "eth: must be a finite number, not inf", "eth"},
        {birthOf({none, value(280), value(64), value(163), value(1), unreadable("not an ethnic group"), value(0)}),
         Outcome::Refused, "missing: bwt; eth: not an ethnic group", "bwt"},
        // In an unknown population a group name cannot be judged.
        {birthOf({value(3400), value(280), value(64), value(163), none, unreadable("not an ethnic group"), value(0)},
                 std::nullopt),
         Outcome::Refused, "population: unknown population \"Narnia\"; missing: sex", "population"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        engine::BatchRecord record;
        BirthResult result;
        const bool admitted = admitBirth(c.birth, record, result);
        EXPECT_EQ(admitted, c.outcome == Outcome::Computed);
        if (admitted) {
            EXPECT_TRUE(valuesAdmissible(record.inputs));
            continue;
        }
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.field, c.field);
    }
}

TEST(Reading, GivesTheMethodsCentileWithBandAndFlags)
{
    for (bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact" : "kernel");
        ReadingOptions options;
        options.exact = exact;
        BirthResult typical = readValues(Population::UnitedKingdom, kTypical, options);
        ASSERT_TRUE(typical.computed()) << typical.error;
        EXPECT_NEAR(typical.centile(), 38.2216410, 5e-8);
        EXPECT_EQ(typical.band, Band::Appropriate);
        EXPECT_EQ(typical.detail.weeks, 40);
        EXPECT_TRUE(typical.flags.empty());

        // Weeks typed as days: computed all the same, and flagged; strict
        // makes the flag the error, naming the input.
        BirthResult weeks = readValues(Population::UnitedKingdom, {3400, 40, 64, 163, 1, 1, 0}, options);
        EXPECT_EQ(weeks.band, Band::VerySmall);
        ASSERT_EQ(weeks.flags.size(), 1u);
        EXPECT_EQ(weeks.flags[0].code, "gest_low");
        ReadingOptions strict = options;
        strict.strict = true;
        BirthResult flagged = readValues(Population::UnitedKingdom, {3400, 40, 64, 163, 1, 1, 0}, strict);
        EXPECT_EQ(flagged.outcome, Outcome::Flagged);
        EXPECT_EQ(flagged.error, "flagged: gest below 22 weeks — weeks typed as days?");
        EXPECT_EQ(flagged.field, "gest");

        BirthResult heavy = readValues(Population::UnitedKingdom, {3000, 280, 200, 163, 1, 9, 4}, options);
        EXPECT_GT(heavy.centile(), 100);
        EXPECT_EQ(heavy.flags.back().code, "centile_above_100");

        BirthResult overflow = readValues(Population::UnitedKingdom, {3400, 280, 1e300, 163, 1, 1, 0}, options);
        EXPECT_EQ(overflow.outcome, Outcome::Failed);
        EXPECT_EQ(overflow.error, "the centile cannot be computed: Overflow");
        EXPECT_EQ(overflow.errorNumber, ErrorNumber::Overflow);
    }
}

TEST(Reading, AgreesWithEveryWorkedValue)
{
    for (const auto& w : wrenfield::testing::kWorkedValues) {
        SCOPED_TRACE(w.what);
        const auto& in = w.inputs;
        const CentileInputs inputs{in[0], in[1], in[2], in[3], in[4], in[5], in[6]};
        ReadingOptions exact;
        exact.exact = true;
        const BirthResult method = readValues(w.population, inputs, exact);
        const BirthResult kernel = readValues(w.population, inputs);
        if (inputs.wt <= 0) {
            // A weight of 0 kg is refused wherever a birth enters.
            EXPECT_EQ(kernel.error, "wt: must be a positive number, not 0");
            continue;
        }
        ASSERT_TRUE(method.computed() && kernel.computed()) << method.error << kernel.error;
        EXPECT_EQ(method.centile(), engine::computeCentile(w.population, inputs).centile);
        EXPECT_NEAR(method.centile(), w.centile, w.tolerance());
        EXPECT_NEAR(kernel.centile(), method.centile(), 1e-11);
        EXPECT_EQ(kernel.band, method.band);
        EXPECT_EQ(kernel.detail.expected, method.detail.expected);
        EXPECT_EQ(kernel.detail.z, method.detail.z);
        EXPECT_EQ(kernel.detail.termWeight, method.detail.termWeight);
        EXPECT_EQ(kernel.detail.spread, method.detail.spread);
    }
}

// The birthweight (found by bisection on the population's method) whose
// centile lies just below `target`: closer than the recompute distance.
CentileInputs justBelow(double target, CentileInputs inputs)
{
    double low = 100, high = 6000;
    for (int i = 0; i < 200; ++i) {
        inputs.bwt = (low + high) / 2;
        (engine::computeCentile(Population::UnitedKingdom, inputs).centile < target ? low : high) = inputs.bwt;
    }
    inputs.bwt = low;
    return inputs;
}

TEST(Reading, CentilesOnADecisionPointAreTheMethods)
{
    const ReadingOptions defaults;
    ReadingOptions moved;
    moved.thresholds = *thresholdsFor(2, 98).thresholds;
    struct Case {
        double point;
        const ReadingOptions& options;
        Band below;
    } cases[] = {{3, defaults, Band::VerySmall},     {10, defaults, Band::Small}, {90, defaults, Band::Appropriate},
                 {97, defaults, Band::Large},        {2, moved, Band::VerySmall}, {98, moved, Band::Appropriate},
                 {47.5, defaults, Band::Appropriate}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.point);
        const CentileInputs inputs = justBelow(c.point, kTypical);
        const double method = engine::computeCentile(Population::UnitedKingdom, inputs).centile;
        ASSERT_LT(method, c.point);
        ASSERT_GT(method, c.point - 1e-10);
        const BirthResult read = readValues(Population::UnitedKingdom, inputs, c.options);
        EXPECT_EQ(read.centile(), method);
        EXPECT_EQ(read.band, c.below);
        EXPECT_EQ(roundedCentile(read.centile()), c.point == 47.5 ? 47 : c.point);
    }
}

// The points where something is decided from a centile, each within the
// recompute distance and no farther, on either side of zero too: the
// thresholds, 0 and 100, the halves of the rounded centile, the halves of
// tenths where centileText's one decimal changes (9.65 shows as 9.7, just
// below as 9.6) and the tenths it steps back to.
TEST(Reading, DecisionPointsAreTheThresholdsEndsHalvesAndTenths)
{
    const double d = kBandRecomputeDistance;
    const struct {
        double centile;
        bool near;
    } cases[] = {
        {50.123456, false},    {12.345678, false},  {-0.123456, false},  {3 + d / 2, true},
        {97 - d / 2, true},    {10 + 2 * d, false}, {42.5, true},        {42.5 + d / 2, true},
        {0.35, true},          {-0.35, true},       {-d / 2, true},      {100 + d / 2, true},
        {100.00001234, false}, {1e300, true},       {-1e300, true},      {4503599627370497.0, true},
        {9.65 - d / 2, true},  {9.625, false},      {9.6 + d / 2, true}, {2.45 + 3 * d, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nearDecisionPoint(c.centile), c.near) << c.centile;
}

// The plain reading says a birth is plain exactly where the full reading
// gives it a computed result with no flag and a centile near no decision
// point, and then gives the same centile and band: on both sides of every
// rule's edge (each range's ends, the codes, the body mass index's ends, the
// decision points), in every population, with ordered and unordered
// thresholds, and over random births.
// Births on both sides of every rule's edge (each range's ends, the codes,
// the body mass index's ends, the decision points), in every population, and
// random ones.
std::vector<engine::BatchRecord> birthsAtEveryEdge()
{
    std::vector<engine::BatchRecord> records;
    auto add = [&records](CentileInputs inputs) {
        for (std::size_t p = 0; p < engine::kPopulationCount; ++p)
            records.push_back({static_cast<Population>(p), inputs});
    };
    auto beside = [](double edge) {
        return std::vector<double>{std::nextafter(edge, -kInf), edge, std::nextafter(edge, kInf)};
    };
    const struct {
        double CentileInputs::*field;
        std::vector<double> edges;
    } fields[] = {
        {&CentileInputs::bwt, {200, 7000}},
        {&CentileInputs::gestDays, {154, 315}},
        {&CentileInputs::wt, {30, 250}},
        {&CentileInputs::ht, {100, 220}},
        {&CentileInputs::sex, {0, 1, 2, 0.5, 3}},
        {&CentileInputs::eth, {1, 4, 9, 10, 11, 0}},
        {&CentileInputs::par, {0, 3, 20, 21, 2.5}},
    };
    for (const auto& f : fields)
        for (double edge : f.edges)
            for (double value : beside(edge)) {
                CentileInputs inputs = kTypical;
                inputs.*f.field = value;
                add(inputs);
            }
    // The body mass index on both sides of 12 and of 50, at a height of 163 cm.
    for (double index : {12.0, 50.0})
        for (double scale : {0.9989, 0.9999999, 1.0, 1.0000001, 1.0011}) {
            CentileInputs inputs = kTypical;
            inputs.wt = index * scale * 1.63 * 1.63;
            add(inputs);
        }
    // Centiles on either side of the decision points.
    for (double point : {3.0, 10.0, 47.5, 90.0, 97.0, 9.65})
        add(justBelow(point, kTypical));
    std::mt19937_64 random(28);
    std::uniform_real_distribution<double> bwt(150, 6000), gest(150, 316), wt(28, 160), ht(98, 200);
    std::uniform_int_distribution<int> code(0, 12);
    for (int i = 0; i < 4000; ++i)
        add({std::round(bwt(random)), std::round(gest(random)), std::round(wt(random) * 10) / 10,
             std::round(ht(random)), double(code(random) % 3), double(code(random)), double(code(random) % 6)});

    return records;
}

TEST(Reading, PlainReadingIsTheFullReadingWhereNothingIsFlagged)
{
    const std::vector<engine::BatchRecord> records = birthsAtEveryEdge();
    ReadingOptions defaults;
    ReadingOptions moved;
    moved.thresholds = *thresholdsFor(5, 95).thresholds;
    ReadingOptions unordered;
    unordered.thresholds = {10, 3, 97, 90};
    std::size_t plainCount = 0;
    for (const ReadingOptions* options : {&defaults, &moved, &unordered}) {
        std::vector<PlainReading> plain(records.size());
        ReadingScratch scratch;
        readPlain(records, *options, plain, scratch);
        for (std::size_t i = 0; i < records.size(); ++i) {
            const BirthResult full = readValues(records[i].population, records[i].inputs, *options);
            const bool expected = full.outcome == Outcome::Computed && full.flags.empty() &&
                !nearDecisionPoint(full.centile(), options->thresholds);
            ASSERT_EQ(plain[i].plain, expected) << i << " " << resultJson(full);
            if (!expected)
                continue;
            ++plainCount;
            ASSERT_EQ(plain[i].centile, full.centile()) << i;
            ASSERT_EQ(plain[i].band, full.band) << i;
        }
    }
    EXPECT_GT(plainCount, records.size() / 4);  // both sides well represented
}

// The sure test of no flag says the same at every width it runs at, on the
// births at every edge and on inputs of any bits (infinities, NaN, -0,
// denormals), with centiles of any bits too.
TEST(Reading, SureTestOfNoFlagIsTheSameAtEveryWidth)
{
    std::vector<engine::BatchRecord> records = birthsAtEveryEdge();
    std::mt19937_64 random(2812);
    const double odd[] = {kInf, -kInf, std::numeric_limits<double>::quiet_NaN(), -0.0, 5e-324, 1e300, -1};
    for (int i = 0; i < 20000; ++i) {
        engine::BatchRecord record = records[random() % records.size()];
        double* inputs[] = {&record.inputs.bwt, &record.inputs.gestDays, &record.inputs.wt, &record.inputs.ht,
                            &record.inputs.sex, &record.inputs.eth,      &record.inputs.par};
        *inputs[random() % 7] = random() % 2 ? odd[random() % std::size(odd)] : std::bit_cast<double>(random());
        records.push_back(record);
    }
    std::vector<double> centiles(records.size());
    for (std::size_t i = 0; i < centiles.size(); ++i)
        centiles[i] =
            i % 3 == 0 ? std::bit_cast<double>(random()) : std::uniform_real_distribution<double>(-1, 101)(random);
    std::vector<std::uint8_t> portable(records.size());
    markSurelyUnflagged(records, centiles, portable, engine::SimdLevel::Portable);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (portable[i]) {
            ASSERT_FALSE(anyFlag(records[i].population, records[i].inputs, centiles[i])) << i;
        }
    }
    for (engine::SimdLevel level : engine::supportedSimdLevels()) {
        std::vector<std::uint8_t> quiet(records.size());
        markSurelyUnflagged(records, centiles, quiet, level);
        EXPECT_EQ(quiet, portable) << engine::simdLevelName(level);
    }
}

// The decision points and bands of many centiles, at every width: the same
// answer as the portable loops for every double (each edge of a threshold,
// an end or a twentieth with its neighbours, NaN, infinities, random bits),
// which is the one-centile rules' answer from 0 to 100; ordered, moved and
// unordered thresholds; every length, so that the last short step is met.
TEST(Reading, DecisionPointsAndBandsAreTheSameAtEveryWidth)
{
    std::vector<double> centiles = {
        kInf, -kInf, std::numeric_limits<double>::quiet_NaN(), -0.0, 5e-324, 1e300, -1, 200.0, 199.975, 1e-9, -1e-9};
    for (int twentieths = 0; twentieths <= 2000; ++twentieths) {
        const double point = twentieths / 20.0;
        for (const double offset : {0.0, 1e-9, -1e-9, 2e-9, -2e-9})
            centiles.push_back(point + offset);
        centiles.push_back(std::nextafter(point + 1e-9, 0.0));
        centiles.push_back(std::nextafter(point + 1e-9, kInf));
    }
    std::mt19937_64 random(812);
    for (int i = 0; i < 20000; ++i)
        centiles.push_back(i % 2 ? std::bit_cast<double>(random())
                                 : std::uniform_real_distribution<double>(-1, 101)(random));
    BandThresholds unordered;
    unordered.sga = 95;
    unordered.lga = 5;
    for (const BandThresholds& thresholds : {BandThresholds{}, *thresholdsFor(5, 95).thresholds, unordered}) {
        std::vector<std::uint8_t> portableNear(centiles.size());
        std::vector<Band> portableBands(centiles.size());
        markNearDecisionPoints(centiles, thresholds, portableNear, engine::SimdLevel::Portable);
        bandsOf(centiles, thresholds, portableBands, engine::SimdLevel::Portable);
        for (std::size_t i = 0; i < centiles.size(); ++i) {
            ASSERT_EQ(portableBands[i], bandOf(centiles[i], thresholds)) << centiles[i];
            if (centiles[i] >= 0 && centiles[i] <= 100) {
                ASSERT_EQ(portableNear[i] != 0, nearDecisionPoint(centiles[i], thresholds)) << centiles[i];
            }
        }
        for (engine::SimdLevel level : engine::supportedSimdLevels()) {
            for (const std::size_t length : {centiles.size(), centiles.size() - 3, std::size_t{5}}) {
                const std::span<const double> some(centiles.data(), length);
                std::vector<std::uint8_t> near(length + 8, 7);
                std::vector<Band> bands(length + 8, Band::VeryLarge);
                markNearDecisionPoints(some, thresholds, {near.data(), length}, level);
                bandsOf(some, thresholds, {bands.data(), length}, level);
                EXPECT_TRUE(std::equal(near.begin(), near.begin() + static_cast<long>(length), portableNear.begin()))
                    << engine::simdLevelName(level);
                EXPECT_TRUE(std::equal(bands.begin(), bands.begin() + static_cast<long>(length), portableBands.begin()))
                    << engine::simdLevelName(level);
                // Nothing written past the end.
                EXPECT_EQ(near[length], 7);
                EXPECT_EQ(bands[length], Band::VeryLarge);
            }
        }
    }
}

// Many births read together give each the very result it gets alone.
TEST(Reading, OneAndManyGiveTheSameResults)
{
    std::mt19937_64 random(22);
    std::uniform_real_distribution<double> bwt(300, 6000), gest(160, 310), wt(35, 140), ht(140, 200);
    std::uniform_int_distribution<int> code(0, 12), population(0, 4);
    std::vector<engine::BatchRecord> records;
    for (int i = 0; i < 3000; ++i)
        records.push_back({static_cast<Population>(population(random)),
                           {bwt(random), gest(random), wt(random), ht(random), double(code(random) % 3),
                            double(code(random)), double(code(random) % 6)}});
    ReadingOptions options;
    options.thresholds = *thresholdsFor(5, 95).thresholds;
    std::vector<BirthResult> results(records.size());
    std::vector<PendingBirth> pending;
    for (std::size_t i = 0; i < records.size(); ++i)
        pending.push_back({records[i], &options, &results[i]});
    ReadingScratch scratch;
    readPending(pending, scratch);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BirthResult alone = readValues(records[i].population, records[i].inputs, options);
        ASSERT_EQ(resultJson(results[i]), resultJson(alone)) << i;
        ASSERT_EQ(results[i].centile(), alone.centile()) << i;
    }
}

TEST(ResultJson, TheRecordInItsOrderAndTheErrors)
{
    const BirthResult typical = readValues(Population::Sweden, {3100, 266, 58, 160, 0, 4, 2});
    const std::string text = resultJson(typical);
    const auto doc = nlohmann::ordered_json::parse(text);
    std::vector<std::string> keys;
    for (const auto& item : doc.items())
        keys.push_back(item.key());
    std::vector<std::string> inOrder;
    for (ResultField field : kRecordFields)
        inOrder.emplace_back(fieldName(field));
    EXPECT_EQ(keys, inOrder);
    EXPECT_EQ(doc["population"], "Sweden");
    EXPECT_EQ(doc["centile"].get<double>(), typical.centile());
    EXPECT_EQ(doc["rounded"], 61);
    EXPECT_TRUE(doc["weeks"].is_number_integer());  // 38, not 38.0
    EXPECT_EQ(doc["band"], "AGA");
    EXPECT_EQ(doc["inputs"]["ethName"], "Bangladeshi (4)");
    EXPECT_EQ(doc["inputs"]["gest"], "266 days (38+0)");
    EXPECT_EQ(doc["coefficientSetVersion"], "5.15_UK");

    const BirthResult flagged = readValues(Population::UnitedKingdom, {3400, 40, 64, 1.63, 1, 1, 0});
    EXPECT_NE(resultJson(flagged).find(
                  R"("flags":[{"code":"gest_low","text":"gest below 22 weeks — weeks typed as days?"},)"),
              std::string::npos);

    BirthResult refused;
    setProblem(refused, Outcome::Refused, "eth: not an ethnic group: \"\xff\"", "eth");
    EXPECT_EQ(resultJson(refused), "{\"error\":\"eth: not an ethnic group: \\\"\xef\xbf\xbd\\\"\",\"field\":\"eth\"}");
    setProblem(refused, Outcome::Failed, "the centile cannot be computed: Overflow", "");
    EXPECT_EQ(resultJson(refused), R"({"error":"the centile cannot be computed: Overflow"})");
}

// The texts a record repeats from birth to birth are kept between records:
// each record still gets its own band's texts under its own thresholds, and
// the names of its own inputs, whatever came before it on the thread.
TEST(ResultJson, RepeatedTextsFollowEachRecord)
{
    const BandThresholds other{1, 5, 95, 99};
    const CentileInputs odd{900, 277.5, 64, 163, 7, 99, -0.0};  // a half day, codes beyond the lists
    for (int round = 0; round < 2; ++round) {
        for (const BandThresholds& thresholds : {BandThresholds{}, other}) {
            for (int p = 0; p < 5; ++p) {
                for (const CentileInputs& values : {kTypical, odd}) {
                    ReadingOptions options;
                    options.thresholds = thresholds;
                    const BirthResult r = readValues(static_cast<Population>(p), values, options);
                    ASSERT_TRUE(r.computed()) << r.error;
                    const auto doc = nlohmann::json::parse(resultJson(r));
                    EXPECT_EQ(doc["bandLabel"], bandLabel(r.band, r.thresholds));
                    EXPECT_EQ(doc["bandWords"], bandWords(r.band, r.thresholds));
                    const auto& in = doc["inputs"];
                    EXPECT_EQ(in["gest"], gestationText(r.inputs.gestDays));
                    EXPECT_EQ(in["sexName"], sexText(r.inputs.sex));
                    EXPECT_EQ(in["ethName"], ethnicGroupText(engine::coefficients(r.population), r.inputs.eth));
                    EXPECT_EQ(in["parName"], parityText(r.inputs.par));
                }
            }
        }
    }
}

// The writer builds no document. Its numbers: a whole one without a
// fraction, any other in the shortest text that reads back to it (the text
// of every other way out), null for no number; its texts escaped as
// nlohmann/json escapes them, U+FFFD for bytes that are no UTF-8; and the
// whole record is JSON.
TEST(ResultJson, NumbersAndTextsWrittenAsTheyGo)
{
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    auto numberText = [](double x) -> std::string {
        if (!std::isfinite(x))
            return "null";
        if (x == std::floor(x) && std::fabs(x) < 9007199254740992.0 && !(x == 0 && std::signbit(x)))
            return std::to_string(static_cast<long long>(x));
        return shortestText(x);
    };
    const double numbers[] = {0.0,
                              -0.0,
                              38.22164104629216,
                              1e-7,
                              -5.5e-06,
                              0.00012345678901234,
                              1e15,
                              1e16,
                              9007199254740992.0,
                              9007199254740991.0,
                              18446744073709551616.0,
                              -3.0,
                              2.5e-308,
                              1.7976931348623157e308,
                              100.0000055,
                              kInf,
                              kNaN};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        BirthResult r = readValues(static_cast<Population>(i % 5), kTypical);
        const double x = numbers[i];
        // The calculator's rounding takes only a centile it can round.
        r.detail = {x, x, x, x, x, x, std::isfinite(x) && std::fabs(x) < 1e300 ? -x : 50.0};
        r.inputs = {x, x, x, x, x, x, x};
        const std::string text = resultJson(r);
        EXPECT_NE(text.find("\"termWeight\":" + numberText(x) + ",\"weeks\":" + numberText(x) + ","), std::string::npos)
            << text;
        EXPECT_NE(text.find("\"inputs\":{\"bwt\":" + numberText(x) + ","), std::string::npos) << text;
        EXPECT_NE(text.find("\"centile\":" + numberText(r.centile()) + ","), std::string::npos) << text;
        const auto doc = nlohmann::json::parse(text);
        EXPECT_EQ(doc["centile"].get<double>(), r.centile());
        if (std::isfinite(x)) {
            EXPECT_EQ(doc["z"].get<double>(), x);
            EXPECT_EQ(doc["inputs"]["wt"].get<double>(), x);
        }
    }

    auto library = [](const std::string& text) {
        return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    const std::string texts[] = {"plain",
                                 "quote \" and backslash \\",
                                 "controls \x01\x1f\b\f\n\r\t and \x7f",
                                 "\xe2\x80\x94 dash, \xf0\x9f\x91\xb6 baby",
                                 std::string("nul \0 inside", 13),
                                 "broken \xff byte",
                                 "overlong \xc0\x80",
                                 "surrogate \xed\xa0\x80",
                                 "beyond \xf4\x90\x80\x80",
                                 "cut short \xe2\x80",
                                 "lone \x80 continuation"};
    for (const std::string& text : texts) {
        BirthResult refused;
        setProblem(refused, Outcome::Refused, text, text);
        EXPECT_EQ(resultJson(refused), "{\"error\":" + library(text) + ",\"field\":" + library(text) + "}");
        BirthResult flagged = readValues(Population::UnitedKingdom, kTypical);
        flagged.flags = {{"sex_code", text}, {"eth_unknown", text}};
        const std::string written = resultJson(flagged);
        EXPECT_NE(written.find("\"flags\":[{\"code\":\"sex_code\",\"text\":" + library(text) +
                               "},{\"code\":\"eth_unknown\",\"text\":" + library(text) + "}],"),
                  std::string::npos)
            << written;
        std::string appended = "[";
        appendResultJson(appended, flagged);
        EXPECT_EQ(appended, "[" + written);
    }
}

// Many records written into one text, from as little room as there can be:
// each byte for byte the record written alone, the caller's id first where
// one is given; and a record whose gestation, sex, group and parity texts
// are all made anew (none of them kept) gives each its own.
TEST(ResultJson, ManyRecordsInOneTextAsEachAlone)
{
    std::vector<BirthResult> results;
    for (int p = 0; p < 5; ++p)
        results.push_back(readValues(static_cast<Population>(p), kTypical));
    BirthResult unkept = readValues(Population::NewZealand, kTypical);
    unkept.inputs.gestDays = 280.5;
    unkept.inputs.sex = 20;
    unkept.inputs.eth = 40;
    unkept.inputs.par = 20;
    results.push_back(unkept);
    BirthResult flagged = readValues(Population::Sweden, kTypical);
    flagged.flags = {{"sex_code", "quote \" and \xff byte"}, {"eth_unknown", "\xe2\x80\x94 dash"}};
    results.push_back(flagged);
    BirthResult refused;
    setProblem(refused, Outcome::Refused, "bwt: not a number: \"x\"", "bwt");
    results.push_back(refused);
    BirthResult failed;
    setProblem(failed, Outcome::Failed, "the centile cannot be computed: Overflow", {});
    results.push_back(failed);

    const std::string ids[] = {"", "\"a1\"", "17", "\"\\\"q\\\" \u00e9\""};
    std::string text = "[";
    std::string expected = "[";
    {
        ResultsJsonText many(text, 0);
        for (int round = 0; round < 40; ++round)
            for (std::size_t i = 0; i < results.size(); ++i) {
                const std::string& id = ids[(i + static_cast<std::size_t>(round)) % std::size(ids)];
                if (round + i > 0) {
                    many.put(',');
                    expected += ',';
                }
                many.record(results[i], id);
                const std::string alone = resultJson(results[i]);
                expected += id.empty() ? alone : "{\"id\":" + id + "," + alone.substr(1);
            }
        many.put(']');
    }
    EXPECT_EQ(text, expected + "]");

    const std::string written = resultJson(unkept);
    EXPECT_NE(written.find("\"gest\":\"" + gestationText(280.5) + "\""), std::string::npos) << written;
    EXPECT_NE(written.find("\"sexName\":\"" + sexText(20) + "\""), std::string::npos) << written;
    EXPECT_NE(written.find("\"ethName\":\"" + ethnicGroupText(engine::coefficients(Population::NewZealand), 40) + "\""),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("\"parName\":\"" + parityText(20) + "\"}"), std::string::npos) << written;
}

TEST(ResultFields, SnakeCaseAndColumns)
{
    EXPECT_EQ(snakeCase("expectedWeight"), "expected_weight");
    EXPECT_EQ(snakeCase("coefficientSetVersion"), "coefficient_set_version");
    EXPECT_EQ(snakeCase("z"), "z");
    EXPECT_EQ(columnFieldFromName("Expected_Weight"), ResultField::ExpectedWeight);
    EXPECT_EQ(columnFieldFromName("expected"), ResultField::ExpectedWeight);
    EXPECT_EQ(columnFieldFromName("band_label"), ResultField::BandLabel);
    EXPECT_FALSE(columnFieldFromName("bandLabel"));
    EXPECT_FALSE(columnFieldFromName("inputs"));
}

// Read while the program's statics are set up, before main: the coefficient
// sets must be ready from the first moment (a host may compute in the
// constructor of a global object).
const double kCentileBeforeMain = readValues(Population::UnitedKingdom, kTypical).centile();

TEST(Reading, WorksBeforeMain)
{
    EXPECT_NEAR(kCentileBeforeMain, 38.2216410, 5e-8);
}

}  // namespace
}  // namespace wrenfield::reading
