#include "engine/growth_chart.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/model_formulas.h"

namespace wrenfield::engine {

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

ChartWeeks chartWeeks(double weeks)
{
    ChartWeeks shown;
    // A baby outside 24..42 weeks widens the scale to the whole week beyond
    // it, at least half a week away, so its point is not drawn on the edge.
    if (weeks < kChartFirstWeek)
        shown.from = std::max(kChartEarliestWeek, std::floor(weeks - 0.5));
    if (weeks > kChartLastWeek)
        shown.to = std::min(kChartLatestWeek, std::ceil(weeks + 0.5));
    return shown;
}

std::vector<ChartCurve> growthCurves(Population population, double termWeight, const ChartWeeks& weeks)
{
    const CoefficientSet& set = coefficients(population);
    const int steps = static_cast<int>(std::lround((weeks.to - weeks.from) * kChartPointsPerWeek));
    std::vector<ChartCurve> curves;
    for (double centile : kChartCentiles) {
        ChartCurve curve;
        curve.centile = centile;
        curve.z = deviationForCentile(centile);
        curve.points.reserve(static_cast<std::size_t>(steps) + 1);
        for (int i = 0; i <= steps; ++i) {
            const double g = weeks.from + static_cast<double>(i) / kChartPointsPerWeek;
            curve.points.push_back({g, weightAtDeviation(set, termWeight, g, curve.z)});
        }
        curves.push_back(std::move(curve));
    }
    return curves;
}

}  // namespace wrenfield::engine
