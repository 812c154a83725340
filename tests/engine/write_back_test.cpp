// What the population methods write back into their arguments, and when.
#include <gtest/gtest.h>

#include <cstdint>

#include "centile_call.h"

namespace wrenfield::engine {
namespace {

TEST(WriteBack, GestationInWeeksLandsInEachKindOfArgument)
{
    for (Population population : {Population::UnitedKingdom, Population::UnitedStates, Population::Sweden,
                                  Population::NewZealand, Population::Australia}) {
        SCOPED_TRACE(std::string(coefficients(population).name));
        PopulationMethod method = populationMethod(population);

        double gestDouble = 275;
        Variant bwt(3000.0), gest = Variant::refTo(gestDouble), wt(64.0), ht(163.0), sex(1), eth(1), par(0);
        method(bwt, gest, wt, ht, sex, eth, par);
        EXPECT_EQ(gestDouble, 39.285714285714285);

        // A 16-bit variable holds the rounded quotient, and the model reads
        // that back: 275 days computes as 39 weeks exactly.
        std::int16_t gestInt = 275;
        Variant bwt2(3000.0), gest2 = Variant::refTo(gestInt), wt2(64.0), ht2(163.0), sex2(1), eth2(1), par2(0);
        Variant fromInt = method(bwt2, gest2, wt2, ht2, sex2, eth2, par2);
        EXPECT_EQ(gestInt, 39);
        EXPECT_EQ(fromInt.number(), testing::callWithDoubles(population, {3000, 273, 64, 163, 1, 1, 0}).number());

        Variant bwt3(3000.0), gest3("280"), wt3(64.0), ht3(163.0), sex3(1), eth3(1), par3(0);
        method(bwt3, gest3, wt3, ht3, sex3, eth3, par3);
        EXPECT_EQ(gest3.kind(), Variant::Kind::Double);
        EXPECT_EQ(gest3.number(), 40);
    }
}

TEST(WriteBack, OnlySwedenCentresTheHeight)
{
    for (Population population :
         {Population::UnitedKingdom, Population::UnitedStates, Population::NewZealand, Population::Australia}) {
        double height = 170;
        Variant bwt(3000.0), gest(280.0), wt(64.0), ht = Variant::refTo(height), sex(1), eth(1), par(0);
        populationMethod(population)(bwt, gest, wt, ht, sex, eth, par);
        EXPECT_EQ(height, 170);
    }
    double height = 160;
    Variant bwt(3000.0), gest(280.0), wt(64.0), ht = Variant::refTo(height), sex(1), eth(1), par(0);
    custcentswe(bwt, gest, wt, ht, sex, eth, par);
    EXPECT_EQ(height, -7);
}

TEST(WriteBack, SwedenCalledTwiceWithTheSameVariablesStartsFromTheWrittenValues)
{
    double bwtValue = 3500, gestValue = 280, wtValue = 65, sexValue = 1, ethValue = 1, parValue = 0;
    std::int16_t height = 170;
    Variant bwt = Variant::refTo(bwtValue), gest = Variant::refTo(gestValue), wt = Variant::refTo(wtValue);
    Variant ht = Variant::refTo(height), sex = Variant::refTo(sexValue), eth = Variant::refTo(ethValue);
    Variant par = Variant::refTo(parValue);

    EXPECT_NEAR(custcentswe(bwt, gest, wt, ht, sex, eth, par).number(), 35.0635, 5e-5);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(gestValue, 40);

    EXPECT_NEAR(custcentswe(bwt, gest, wt, ht, sex, eth, par).number(), 0.0123, 5e-5);
    EXPECT_EQ(height, -164);
    EXPECT_EQ(gestValue, 40.0 / 7);
}

TEST(WriteBack, AMissingArgumentGivesTheZeroLengthTextAndTouchesNothing)
{
    const Variant missingKinds[] = {Variant(), Variant("")};
    for (Population population : {Population::UnitedKingdom, Population::Sweden, Population::NewZealand}) {
        for (int missingIndex = 0; missingIndex < 7; ++missingIndex) {
            for (const Variant& missing : missingKinds) {
                double gestDays = 280, height = 170;
                Variant args[7] = {Variant(3500.0), Variant::refTo(gestDays),
                                   Variant(65.0),   Variant::refTo(height),
                                   Variant(1),      Variant(1),
                                   Variant(0)};
                args[missingIndex] = missing;
                Variant result =
                    populationMethod(population)(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
                EXPECT_TRUE(result.isString());
                EXPECT_EQ(result.text(), "");
                EXPECT_EQ(gestDays, 280);
                EXPECT_EQ(height, 170);
            }
        }
    }
}

TEST(WriteBack, TheMissingTestLooksAtAllSevenBeforeAnyConversion)
{
    // A non-numeric text would be a type mismatch, but a missing argument
    // anywhere decides first.
    Variant bwt("abc"), gest(280.0), wt(64.0), ht(163.0), sex(1), eth(1), par("");
    Variant result = custcentukn(bwt, gest, wt, ht, sex, eth, par);
    EXPECT_TRUE(result.isString());
}

}  // namespace
}  // namespace wrenfield::engine
