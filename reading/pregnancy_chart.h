// The customised growth chart of one pregnancy: the model's curves
// (engine/growth_chart.h) with the baby on them, read as every front end
// reads a birth (centile, band and plausibility flags). Pure numbers: any
// front end draws them.
#pragma once

#include <stdexcept>
#include <vector>

#include "engine/growth_chart.h"
#include "reading/births.h"
#include "reading/result.h"

namespace wrenfield::reading {

struct PregnancyChart {
    engine::Population population = engine::Population::UnitedKingdom;
    engine::CentileInputs inputs;  // as given (gestation in days, height uncentred)
    BirthResult baby;              // the baby's reading: TW, weeks, E, S, z, centile, band, flags
    BandThresholds thresholds;
    double fromWeek = engine::kChartFirstWeek;
    double toWeek = engine::kChartLastWeek;
    std::vector<engine::ChartCurve> curves;  // one per engine::kChartCentiles entry, in that order

    // The curve of that centile (one of engine::kChartCentiles), or nullptr.
    const engine::ChartCurve* curve(double centile) const;
};

// A birth that has no chart: the reading's error ("the centile cannot be
// computed: Overflow", "bwt: must be a positive number, not 0").
class NoChart : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The chart of a birth already read; throws NoChart unless it was computed
// (or only flagged under strict).
PregnancyChart pregnancyChart(const BirthResult& baby);
// The chart of a pregnancy given as plain values.
PregnancyChart pregnancyChart(engine::Population population, const engine::CentileInputs& inputs,
                              const ReadingOptions& options = {});

}  // namespace wrenfield::reading
