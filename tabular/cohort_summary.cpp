#include "tabular/cohort_summary.h"

#include <cstdio>

namespace wrenfield::tabular {

namespace {

std::string percentText(double percent)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", percent);
    return text;
}

}  // namespace

double CohortSummary::percentOfComputed(long count) const
{
    return computed > 0 ? 100.0 * static_cast<double>(count) / static_cast<double>(computed) : 0;
}

CohortSummary cohortSummary(const BatchSummary& summary, const reading::BandThresholds& thresholds)
{
    CohortSummary cohort;
    cohort.bins = summary.tenths;
    cohort.rows = summary.rows;
    cohort.computed = summary.computed;
    cohort.missing = summary.missing;
    cohort.failed = summary.errors;
    cohort.flagged = summary.flaggedRows;
    using reading::Band;
    auto band = [&summary](Band b) { return summary.bands[static_cast<std::size_t>(b)]; };
    cohort.small = band(Band::VerySmall) + band(Band::Small);
    cohort.appropriate = band(Band::Appropriate);
    cohort.large = band(Band::Large) + band(Band::VeryLarge);
    cohort.thresholds = thresholds;
    cohort.expectedSmallPercent = thresholds.sga;
    cohort.expectedAppropriatePercent = thresholds.lga - thresholds.sga;
    cohort.expectedLargePercent = 100 - thresholds.lga;
    return cohort;
}

std::string cohortSummaryText(const CohortSummary& s)
{
    std::string text = "centiles of " + std::to_string(s.computed) + " computed rows, by tenth (expected " +
        percentText(10) + " each):";
    for (std::size_t b = 0; b < CohortSummary::kBins; ++b)
        text += (b == 0 ? " " : ", ") + std::to_string(b * 10) + "-" + std::to_string(b * 10 + 10) + ": " +
            std::to_string(s.bins[b]) + " (" + percentText(s.percentOfComputed(s.bins[b])) + ")";
    text += "\n";
    text += "SGA " + std::to_string(s.small) + " (" + percentText(s.percentOfComputed(s.small)) + ", expected " +
        percentText(s.expectedSmallPercent) + "), AGA " + std::to_string(s.appropriate) + " (" +
        percentText(s.percentOfComputed(s.appropriate)) + ", expected " + percentText(s.expectedAppropriatePercent) +
        "), LGA " + std::to_string(s.large) + " (" + percentText(s.percentOfComputed(s.large)) + ", expected " +
        percentText(s.expectedLargePercent) + ")\n";
    text += "rows without a centile: " + std::to_string(s.missing) + " missing, " + std::to_string(s.failed) +
        " failed; " + std::to_string(s.flagged) + " flagged";
    return text;
}

}  // namespace wrenfield::tabular
