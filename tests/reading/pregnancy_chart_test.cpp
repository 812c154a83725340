// The growth chart's numbers: the 50th curve is the model's expected weight,
// a baby on any curve computes to that curve's centile, the curves keep their
// order, and the gestation scale widens to include the baby.
#include <gtest/gtest.h>

#include <cmath>

#include "reading/pregnancy_chart.h"

namespace wrenfield::reading {
namespace {

using namespace engine;

constexpr CentileInputs kTypical{3400, 280, 64, 163, 1, 1, 0};

TEST(PregnancyChart, CentreCurveIsTheExpectedWeightOfTheModel)
{
    // Every whole week is a point of every curve; at the baby's own 40 weeks
    // the 50th curve holds exactly the expected weight the centile used.
    const PregnancyChart chart = pregnancyChart(Population::UnitedKingdom, kTypical);
    const ChartCurve* centre = chart.curve(50);
    ASSERT_NE(centre, nullptr);
    ASSERT_EQ(centre->points.size(), std::size_t((42 - 24) * kChartPointsPerWeek + 1));
    const ChartPoint& at40 = centre->points[(40 - 24) * kChartPointsPerWeek];
    EXPECT_EQ(at40.weeks, 40);
    EXPECT_EQ(at40.grams, chart.baby.detail.expected);
    EXPECT_EQ(centre->z, 0);
}

TEST(PregnancyChart, ABabyOnACurveHasThatCurvesCentile)
{
    for (Population population : {Population::UnitedKingdom, Population::Sweden, Population::Australia}) {
        const PregnancyChart chart = pregnancyChart(population, kTypical);
        const CoefficientSet& set = coefficients(population);
        for (const ChartCurve& curve : chart.curves)
            for (double weeks : {26.0, 33.0, 40.0}) {
                SCOPED_TRACE(std::string(set.name) + " centile " + std::to_string(curve.centile) + " at " +
                             std::to_string(weeks));
                CentileInputs onCurve = kTypical;
                onCurve.gestDays = weeks * 7;
                onCurve.bwt = weightAtDeviation(set, chart.baby.detail.termWeight, weeks, curve.z);
                const std::size_t index = std::size_t(std::lround((weeks - chart.fromWeek) * kChartPointsPerWeek));
                EXPECT_EQ(curve.points[index].grams, onCurve.bwt);
                EXPECT_NEAR(computeCentile(population, onCurve).centile, curve.centile, 1e-9);
            }
    }
}

TEST(PregnancyChart, CurvesKeepTheirOrderAtEveryGestation)
{
    for (CentileInputs inputs :
         {kTypical, CentileInputs{600, 154, 45, 150, 0, 2, 4}, CentileInputs{5000, 300, 120, 190, 1, 1, 1}}) {
        const PregnancyChart chart = pregnancyChart(Population::UnitedKingdom, inputs);
        ASSERT_EQ(chart.curves.size(), kChartCentiles.size());
        for (std::size_t i = 0; i < chart.curves[0].points.size(); ++i)
            for (std::size_t c = 1; c < chart.curves.size(); ++c)
                ASSERT_LT(chart.curves[c - 1].points[i].grams, chart.curves[c].points[i].grams) << "point " << i;
    }
}

TEST(PregnancyChart, GestationScaleWidensToIncludeTheBaby)
{
    struct Case {
        double days;
        double from, to;
    } cases[] = {
        {280, 24, 42}, {168, 24, 42}, {294, 24, 42},  // 40, 24 and 42 weeks: the usual scale
        {154, 21, 42}, {160, 22, 42},                 // 22+0 and 22+6: half a week to spare
        {295, 24, 43}, {301, 24, 44}, {308, 24, 45},  // 42+1, 43+0, 44+0
        {35, 20, 42},  {500, 24, 46},                 // beyond the limits: the limits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.days);
        CentileInputs inputs = kTypical;
        inputs.gestDays = c.days;
        const PregnancyChart chart = pregnancyChart(Population::UnitedKingdom, inputs);
        EXPECT_EQ(chart.fromWeek, c.from);
        EXPECT_EQ(chart.toWeek, c.to);
        EXPECT_EQ(chart.curves[0].points.front().weeks, c.from);
        EXPECT_DOUBLE_EQ(chart.curves[0].points.back().weeks, c.to);
    }
}

TEST(PregnancyChart, CarriesTheBabysBandAndFlags)
{
    CentileInputs weeksAsDays = kTypical;
    weeksAsDays.gestDays = 40;
    ReadingOptions options;
    options.thresholds = {3, 5, 95, 97};
    const PregnancyChart chart = pregnancyChart(Population::UnitedKingdom, weeksAsDays, options);
    EXPECT_EQ(chart.baby.band, bandOf(chart.baby.centile(), {3, 5, 95, 97}));
    ASSERT_FALSE(chart.baby.flags.empty());
    EXPECT_EQ(chart.baby.flags[0].code, "gest_low");
    EXPECT_EQ(chart.thresholds.sga, 5);

    // A birth without a centile has no chart, and says why.
    try {
        (void)pregnancyChart(Population::UnitedKingdom, {3400, 280, 0, 163, 1, 1, 0});
        ADD_FAILURE() << "a chart of a refused birth";
    } catch (const NoChart& error) {
        EXPECT_STREQ(error.what(), "wt: must be a positive number, not 0");
    }
}

}  // namespace
}  // namespace wrenfield::reading
