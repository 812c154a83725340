// The customised growth chart of one pregnancy: the curves of the weight at
// the 3rd, 10th, 50th, 90th and 97th centile against gestation, from the
// pregnancy's term weight TW and the model's own formulas (the gestation
// proportion P(g), the expected weight E = P(g) × TW, the spread S = E × CV,
// the weight at a centile E + z × S), with the baby's reading (centile, band
// and plausibility flags). Pure
// numbers: any front end draws them.
#pragma once

#include <array>
#include <vector>

#include "engine/band.h"
#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "engine/reading.h"

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

struct PregnancyChart {
    Population population = Population::UnitedKingdom;
    CentileInputs inputs;    // as given (gestation in days, height uncentred)
    Reading baby;            // the baby's reading: TW, weeks, E, S, z, centile, band, flags
    BandThresholds thresholds;
    double fromWeek = kChartFirstWeek;
    double toWeek = kChartLastWeek;
    std::vector<ChartCurve> curves;  // one per kChartCentiles entry, in that order

    // The curve of that centile (one of kChartCentiles), or nullptr.
    const ChartCurve* curve(double centile) const;
};

// The expected weight E(g) = P(g) × TW at `weeks` for the term weight `termWeight`.
double expectedWeight(double termWeight, double weeks);

// The weight at deviation z: E + z × S, S = E × the set's coefficient of variation.
double weightAtDeviation(const CoefficientSet& set, double termWeight, double weeks, double z);

// The deviation z at which the model's own integral gives `centile` percent
// (found by bisection, so that a baby on a curve computes to that centile).
// `centile` must lie strictly between 0 and 100.
double deviationForCentile(double centile);

// The chart of a pregnancy. Throws RuntimeError when the baby's computation
// raises one (an overflow, say), as the population's method does.
PregnancyChart pregnancyChart(Population population, const CentileInputs& inputs,
                              const BandThresholds& thresholds = {});

}  // namespace wrenfield::engine
