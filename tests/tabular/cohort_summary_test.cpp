// The cohort summary's numbers from a real batch run: births placed on known
// centiles land in their tenth, the bands and the rows without a centile are
// counted, and the text says the same numbers.
#include "tabular/cohort_summary.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/growth_chart.h"

namespace wrenfield::tabular {
namespace {

// A birth at 40 weeks of a typical mother whose centile is `centile`.
std::string birthAtCentile(double centile)
{
    const engine::CentileInputs mother{3400, 280, 64, 163, 1, 1, 0};
    const engine::CentileDetail detail = engine::computeCentile(engine::Population::UnitedKingdom, mother);
    const double grams = engine::weightAtDeviation(engine::coefficients(engine::Population::UnitedKingdom),
                                                   detail.termWeight, 40, engine::deviationForCentile(centile));
    std::ostringstream row;
    row.precision(17);
    row << grams << ",280,64,163,1,1,0\n";
    return row.str();
}

TEST(CohortSummary, CountsEachTenthBandAndRowWithoutACentile)
{
    std::string csv = "bwt,gest,wt,ht,sex,eth,par\n";
    // Two births in the first tenth (one below the 3rd), one in each other
    // tenth but the sixth, three in the last (one above the 97th).
    for (double centile : {1.0, 5.0, 15.0, 25.0, 35.0, 45.0, 65.0, 75.0, 85.0, 91.0, 95.0, 99.0})
        csv += birthAtCentile(centile);
    csv += "3400,280,64,163,1,1,\n";     // missing parity
    csv += "3400,280,64,163,abc,1,0\n";  // unreadable sex: fails
    csv += "600,150,64,163,1,1,0\n";     // 21+3 weeks: computed (86th centile) and flagged
    std::istringstream in(csv);
    BatchJob job(in, engine::Population::UnitedKingdom);
    std::ostringstream out;
    const BatchSummary batch = job.run(out);
    const CohortSummary summary = cohortSummary(batch, {});

    EXPECT_EQ(summary.rows, 15);
    EXPECT_EQ(summary.computed, 13);
    EXPECT_EQ(summary.missing, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.flagged, 1);
    EXPECT_EQ(summary.bins, (std::array<long, 10>{2, 1, 1, 1, 1, 0, 1, 1, 2, 3}));
    EXPECT_EQ(summary.small, 2);
    EXPECT_EQ(summary.appropriate, 8);
    EXPECT_EQ(summary.large, 3);
    EXPECT_DOUBLE_EQ(summary.expectedPerBin(), 1.3);
    EXPECT_DOUBLE_EQ(summary.percentOfComputed(summary.small), 200.0 / 13);

    const std::string text = cohortSummaryText(summary);
    EXPECT_NE(text.find("centiles of 13 computed rows"), std::string::npos) << text;
    EXPECT_NE(text.find("90-100: 3 (23.1 %)"), std::string::npos) << text;
    EXPECT_NE(
        text.find("SGA 2 (15.4 %, expected 10.0 %), AGA 8 (61.5 %, expected 80.0 %), LGA 3 (23.1 %, expected 10.0 %)"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("1 missing, 1 failed; 1 flagged"), std::string::npos) << text;
}

TEST(CohortSummary, ExpectedSharesFollowTheThresholds)
{
    reading::BandThresholds thresholds;
    thresholds.sga = 5;
    thresholds.lga = 95;
    const CohortSummary summary = cohortSummary(BatchSummary{}, thresholds);
    EXPECT_EQ(summary.expectedSmallPercent, 5);
    EXPECT_EQ(summary.expectedAppropriatePercent, 90);
    EXPECT_EQ(summary.expectedLargePercent, 5);
    EXPECT_EQ(summary.percentOfComputed(0), 0);  // no rows: no division by zero
}

}  // namespace
}  // namespace wrenfield::tabular
