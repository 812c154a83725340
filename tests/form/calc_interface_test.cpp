// `_Calc`: the five methods in slot order, and
// a host's call through it.
#include <gtest/gtest.h>

#include "engine/centile_model.h"
#include "form/calc_interface.h"

namespace wrenfield::form {
namespace {

TEST(CalcInterface, FiveMethodsInSlotOrder)
{
    const std::string_view names[] = {"custcentukn", "custcentus", "custcentswe", "custcentnz", "custcentau"};
    ASSERT_EQ(calcMethods().size(), 5u);
    for (std::size_t slot = 0; slot < 5; ++slot) {
        const CalcMethod& method = calcMethods()[slot];
        EXPECT_EQ(method.name, names[slot]);
        EXPECT_EQ(calcMethodByName(names[slot]), &method);
        EXPECT_EQ(&calcMethodFor(method.population), &method);
        EXPECT_EQ(engine::coefficients(method.population).methodName, method.name);
    }
    EXPECT_EQ(calcMethodByName("CustCentUKN"), nullptr);
}

TEST(CalcInterface, AHostCallComputesWithItsOwnVariablesAndLeavesTheFormAlone)
{
    Calc calc;
    for (const CalcMethod& method : calcMethods()) {
        SCOPED_TRACE(std::string(method.name));
        double gest = 273, ht = 170;
        std::array<Variant, 7> args = {Variant(3100.0), Variant::refTo(gest), Variant("70"), Variant::refTo(ht),
                                       Variant(1),      Variant(1),           Variant(2)};
        const Variant result = callCalcMethod(calc, method, args);
        EXPECT_EQ(
            result.number(),
            engine::computeCentile(method.population,
                                   {.bwt = 3100, .gestDays = 273, .wt = 70, .ht = 170, .sex = 1, .eth = 1, .par = 2})
                .centile);
        EXPECT_EQ(gest, 39);
        EXPECT_EQ(ht, method.population == engine::Population::Sweden ? 3 : 170);
    }
    EXPECT_EQ(calc.outputLabel().caption(), "56");
    EXPECT_EQ(calc.formGest(), 40);

    // A missing input gives the zero-length text and leaves gest as it was.
    double gest = 280;
    Variant bwt, gestArg = Variant::refTo(gest), wt(65.0), ht(165.0), sex(0), eth(1), par(0);
    const Variant missing = calc.custcentukn(bwt, gestArg, wt, ht, sex, eth, par);
    EXPECT_TRUE(missing.equalsEmptyString());
    EXPECT_EQ(gest, 280);
}

}  // namespace
}  // namespace wrenfield::form
