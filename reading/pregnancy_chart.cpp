#include "reading/pregnancy_chart.h"

namespace wrenfield::reading {

const engine::ChartCurve* PregnancyChart::curve(double centile) const
{
    for (const engine::ChartCurve& c : curves)
        if (c.centile == centile)
            return &c;
    return nullptr;
}

PregnancyChart pregnancyChart(const BirthResult& baby)
{
    if (baby.outcome != Outcome::Computed && baby.outcome != Outcome::Flagged)
        throw NoChart(baby.error);
    PregnancyChart chart;
    chart.population = baby.population;
    chart.inputs = baby.inputs;
    chart.baby = baby;
    chart.thresholds = baby.thresholds;
    const engine::ChartWeeks weeks = engine::chartWeeks(baby.detail.weeks);
    chart.fromWeek = weeks.from;
    chart.toWeek = weeks.to;
    chart.curves = engine::growthCurves(baby.population, baby.detail.termWeight, weeks);
    return chart;
}

PregnancyChart pregnancyChart(engine::Population population, const engine::CentileInputs& inputs,
                              const ReadingOptions& options)
{
    return pregnancyChart(readValues(population, inputs, options));
}

}  // namespace wrenfield::reading
