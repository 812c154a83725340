#include "engine/growth_chart.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/model_formulas.h"

namespace wrenfield::engine {

const ChartCurve* PregnancyChart::curve(double centile) const
{
    for (const ChartCurve& c : curves)
        if (c.centile == centile)
            return &c;
    return nullptr;
}

double expectedWeight(double termWeight, double weeks)
{
    return gestationProportion<PlainSteps>(weeks) * termWeight;
}

double weightAtDeviation(const CoefficientSet& set, double termWeight, double weeks, double z)
{
    const double e = expectedWeight(termWeight, weeks);
    const double s = e * set.coefficientOfVariation;
    return e + z * s;
}

namespace {

// Bisection on the model's own integral, which grows with z and reaches its
// far-tail values (about −0.0000055 and 100.0000055) well inside ±8.
double searchDeviation(double centile)
{
    double low = -8, high = 8;
    double z = 0;
    for (int step = 0; step < 200; ++step) {
        z = low + (high - low) / 2;
        if (z == low || z == high)
            break;
        const double value = centileFromZ(z);
        if (value == centile)
            break;
        (value < centile ? low : high) = z;
    }
    return z;
}

}  // namespace

double deviationForCentile(double centile)
{
    if (!(centile > 0 && centile < 100))
        throw std::invalid_argument("a chart centile lies strictly between 0 and 100");
    // The chart's own centiles are searched once per process (each step of
    // the search integrates 1001 slices).
    static const std::array<double, kChartCentiles.size()> chartDeviations = [] {
        std::array<double, kChartCentiles.size()> found{};
        for (std::size_t i = 0; i < kChartCentiles.size(); ++i)
            found[i] = searchDeviation(kChartCentiles[i]);
        return found;
    }();
    for (std::size_t i = 0; i < kChartCentiles.size(); ++i)
        if (kChartCentiles[i] == centile)
            return chartDeviations[i];
    return searchDeviation(centile);
}

PregnancyChart pregnancyChart(Population population, const CentileInputs& inputs, const BandThresholds& thresholds)
{
    PregnancyChart chart;
    chart.population = population;
    chart.inputs = inputs;
    chart.baby = readBirth(population, inputs, thresholds);
    chart.thresholds = thresholds;

    const double weeks = chart.baby.detail.weeks;
    // A baby outside 24..42 weeks widens the scale to the whole week beyond
    // it, at least half a week away, so its point is not drawn on the edge.
    if (weeks < kChartFirstWeek)
        chart.fromWeek = std::max(kChartEarliestWeek, std::floor(weeks - 0.5));
    if (weeks > kChartLastWeek)
        chart.toWeek = std::min(kChartLatestWeek, std::ceil(weeks + 0.5));

    const CoefficientSet& set = coefficients(population);
    const int steps = static_cast<int>(std::lround((chart.toWeek - chart.fromWeek) * kChartPointsPerWeek));
    for (double centile : kChartCentiles) {
        ChartCurve curve;
        curve.centile = centile;
        curve.z = deviationForCentile(centile);
        curve.points.reserve(static_cast<std::size_t>(steps) + 1);
        for (int i = 0; i <= steps; ++i) {
            const double g = chart.fromWeek + static_cast<double>(i) / kChartPointsPerWeek;
            curve.points.push_back({g, weightAtDeviation(set, chart.baby.detail.termWeight, g, curve.z)});
        }
        chart.curves.push_back(std::move(curve));
    }
    return chart;
}

}  // namespace wrenfield::engine
