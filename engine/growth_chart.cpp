#include "engine/growth_chart.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
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

double deviationForCentile(double centile)
{
    if (!(centile > 0 && centile < 100))
        throw std::invalid_argument("a chart centile lies strictly between 0 and 100");
    // Each centile is searched once per process: the integral takes 1001 slices.
    static std::mutex mutex;
    static std::map<double, double> found;
    std::lock_guard lock(mutex);
    if (auto known = found.find(centile); known != found.end())
        return known->second;

    // The model's centile grows with z and reaches its far-tail values
    // (about −0.0000055 and 100.0000055) well inside ±8.
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
    found.emplace(centile, z);
    return z;
}

PregnancyChart pregnancyChart(Population population, const CentileInputs& inputs)
{
    PregnancyChart chart;
    chart.population = population;
    chart.inputs = inputs;
    chart.baby = computeCentile(population, inputs);

    const double weeks = chart.baby.weeks;
    chart.fromWeek = std::clamp(std::min(kChartFirstWeek, std::floor(weeks)), kChartEarliestWeek, kChartFirstWeek);
    chart.toWeek = std::clamp(std::max(kChartLastWeek, std::ceil(weeks)), kChartLastWeek, kChartLatestWeek);

    const CoefficientSet& set = coefficients(population);
    const int steps = static_cast<int>(std::lround((chart.toWeek - chart.fromWeek) * kChartPointsPerWeek));
    for (double centile : kChartCentiles) {
        ChartCurve curve;
        curve.centile = centile;
        curve.z = deviationForCentile(centile);
        curve.points.reserve(static_cast<std::size_t>(steps) + 1);
        for (int i = 0; i <= steps; ++i) {
            const double g = chart.fromWeek + static_cast<double>(i) / kChartPointsPerWeek;
            curve.points.push_back({g, weightAtDeviation(set, chart.baby.termWeight, g, curve.z)});
        }
        chart.curves.push_back(std::move(curve));
    }
    return chart;
}

}  // namespace wrenfield::engine
