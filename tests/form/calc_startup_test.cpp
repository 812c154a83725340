#include <gtest/gtest.h>

#include "form/calc.h"

namespace wrenfield::form {
namespace {

TEST(CalcStartup, ShowsTheDefaultCentile)
{
    Calc calc;
    EXPECT_TRUE(calc.startedUp());
    EXPECT_EQ(calc.outputLabel().caption(), "56");
    EXPECT_EQ(calc.formGest(), 40);
}

}  // namespace
}  // namespace wrenfield::form
