// How a cohort's centiles compare with what a fitting standard gives: the
// distribution of the computed centiles in ten bins of ten (a standard that
// fits the cohort puts a tenth of the births in each), and the shares small,
// appropriate and large for gestational age against the shares the band
// thresholds expect (10 %, 80 %, 10 % by default); with the rows that gave no
// centile. Plain numbers, for any front end to show or draw.
#pragma once

#include <array>
#include <string>

#include "reading/band.h"
#include "tabular/batch.h"

namespace wrenfield::tabular {

struct CohortSummary {
    static constexpr std::size_t kBins = 10;

    // Computed rows in each bin [0, 10), [10, 20), ... [90, 100] of the centile.
    std::array<long, kBins> bins{};
    long computed = 0;
    long missing = 0;  // a needed value missing: no centile
    long failed = 0;   // an unreadable value or an arithmetic error: no centile
    long flagged = 0;  // computed or not, with at least one plausibility flag
    long rows = 0;

    // Computed rows by band, and the shares the thresholds expect (percent).
    long small = 0, appropriate = 0, large = 0;
    double expectedSmallPercent = 10, expectedAppropriatePercent = 80, expectedLargePercent = 10;
    reading::BandThresholds thresholds;

    // The count each bin holds when the standard fits: a tenth of the computed rows.
    double expectedPerBin() const { return static_cast<double>(computed) / kBins; }
    // The share of the computed rows, in percent (0 without computed rows).
    double percentOfComputed(long count) const;
};

CohortSummary cohortSummary(const BatchSummary& summary, const reading::BandThresholds& thresholds);

// The same numbers as lines of text: the bins with their counts and shares,
// the bands against their expected shares, and the rows without a centile.
std::string cohortSummaryText(const CohortSummary& summary);

}  // namespace wrenfield::tabular
