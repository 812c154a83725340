// The curves of a customised growth chart: the weight at the 3rd, 10th, 50th,
// 90th and 97th centile against gestation, from a pregnancy's term weight TW
// and the model's own formulas (the gestation proportion P(g), the expected
// weight E = P(g) × TW, the spread S = E × CV, the weight at a centile
// E + z × S). Pure numbers: the reading layer puts the baby on them
// (reading/pregnancy_chart.h) and any front end draws them.
#pragma once

#include <array>
#include <vector>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"

namespace wrenfield::engine {

// The centiles a chart draws, in ascending order.
inline constexpr std::array<double, 5> kChartCentiles = {3, 10, 50, 90, 97};

// The gestations a chart shows: 24 to 42 completed weeks, widened to include
// the baby's gestation with half a week to spare, but never beyond these limits (outside them the
// gestation proportion stops growing with gestation and the curves would mean
// nothing).
inline constexpr double kChartFirstWeek = 24;
inline constexpr double kChartLastWeek = 42;
inline constexpr double kChartEarliestWeek = 20;
inline constexpr double kChartLatestWeek = 46;

// Points along a curve: one per day.
inline constexpr int kChartPointsPerWeek = 7;

struct ChartPoint {
    double weeks = 0;
    double grams = 0;
};

struct ChartCurve {
    double centile = 0;  // percent
    double z = 0;        // the deviation the model turns into this centile
    std::vector<ChartPoint> points;
};

// The gestations a chart shows for a baby born at `weeks`.
struct ChartWeeks {
    double from = kChartFirstWeek;
    double to = kChartLastWeek;
};
ChartWeeks chartWeeks(double weeks);

// The expected weight E(g) = P(g) × TW at `weeks` for the term weight `termWeight`.
double expectedWeight(double termWeight, double weeks);

// The weight at deviation z: E + z × S, S = E × the set's coefficient of variation.
double weightAtDeviation(const CoefficientSet& set, double termWeight, double weeks, double z);

// The deviation z at which the model's own integral gives `centile` percent
// (found by bisection, so that a baby on a curve computes to that centile).
// `centile` must lie strictly between 0 and 100.
double deviationForCentile(double centile);

// The curves of kChartCentiles, in that order, for a pregnancy of this
// population and term weight, one point a day from `weeks.from` to `weeks.to`.
std::vector<ChartCurve> growthCurves(Population population, double termWeight, const ChartWeeks& weeks);

}  // namespace wrenfield::engine
