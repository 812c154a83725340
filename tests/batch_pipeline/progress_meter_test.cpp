#include <gtest/gtest.h>

#include <sstream>

#include "cli/progress_meter.h"

namespace wrenfield::cli {
namespace {

TEST(ProgressMeter, GroupsThousands)
{
    const std::pair<long, const char*> cases[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {-12345, "-12,345"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(groupedNumber(value), text);
}

TEST(ProgressMeter, LineWithAKnownSizeShowsBarRateAndTimeLeft)
{
    // A quarter of the input in 2 seconds: 6 seconds left.
    std::string text = ProgressMeter::line(500000, 2.0, 250, 1000, 79);
    EXPECT_EQ(text.size(), 79u);
    EXPECT_EQ(text.front(), '[');
    EXPECT_NE(text.find(" 25%"), std::string::npos) << text;
    EXPECT_NE(text.find("500,000 rows"), std::string::npos) << text;
    EXPECT_NE(text.find("250.0k rows/s"), std::string::npos) << text;
    EXPECT_NE(text.find("0:06 left"), std::string::npos) << text;
}

TEST(ProgressMeter, LineWithoutASizeShowsRowsAndRate)
{
    std::string text = ProgressMeter::line(3000000, 2.0, 0, 0, 79);
    EXPECT_EQ(text, "custcent batch: 3,000,000 rows  1.50M rows/s");
}

TEST(ProgressMeter, NarrowTerminalsGetAShortLineAndNothingStartsAtZero)
{
    EXPECT_LE(ProgressMeter::line(10, 0.0, 0, 1000, 20).size(), 20u);
    EXPECT_NE(ProgressMeter::line(10, 0.0, 0, 1000, 80).find("--:-- left"), std::string::npos);
    EXPECT_EQ(ProgressMeter::line(10, 1.0, 0, 0, 0), "");
}

TEST(ProgressMeter, ShortRunsDrawNothing)
{
    std::ostringstream out;
    ProgressMeter meter(out, 1000);
    meter.update(10, 500);
    meter.finish();
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace wrenfield::cli
