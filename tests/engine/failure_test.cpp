// Run-time errors of the population methods: which error, and what has been
// written back by the time it is raised.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "centile_call.h"
#include "engine/checked_arithmetic.h"

namespace wrenfield::engine {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct FailureCase {
    const char* what;
    Population population;
    int badIndex;  // bwt, gest, wt, ht, sex, eth, par
    Variant badValue;
    ErrorNumber error;
    bool gestInWeeksAfterwards;
    bool heightCentredAfterwards;
};

const FailureCase kFailures[] = {
    {"non-numeric wt", Population::UnitedKingdom, 2, Variant("heavy"), ErrorNumber::TypeMismatch, false, false},
    {"non-numeric bwt is used after the weeks", Population::UnitedKingdom, 0, Variant("3,400"),
     ErrorNumber::TypeMismatch, true, false},
    {"non-numeric gest", Population::UnitedStates, 1, Variant("40 weeks"), ErrorNumber::TypeMismatch, false, false},
    {"non-numeric eth", Population::NewZealand, 5, Variant("Maori"), ErrorNumber::TypeMismatch, false, false},
    {"non-numeric sex after Sweden's centring", Population::Sweden, 4, Variant("M"), ErrorNumber::TypeMismatch, false,
     true},
    {"non-numeric wt before Sweden's centring", Population::Sweden, 2, Variant("x"), ErrorNumber::TypeMismatch, false,
     false},
    {"enormous wt", Population::UnitedKingdom, 2, Variant(1e300), ErrorNumber::Overflow, false, false},
    {"enormous wt after Sweden's centring", Population::Sweden, 2, Variant(1e300), ErrorNumber::Overflow, false, true},
    {"enormous bwt", Population::Australia, 0, Variant(1e300), ErrorNumber::Overflow, true, false},
    {"infinite ht", Population::UnitedStates, 3, Variant(kInf), ErrorNumber::Overflow, false, false},
    {"NaN wt", Population::UnitedKingdom, 2, Variant(kNaN), ErrorNumber::InvalidProcedureCall, false, false},
    {"NaN bwt", Population::NewZealand, 0, Variant(kNaN), ErrorNumber::InvalidProcedureCall, true, false},
    {"NaN par", Population::Australia, 6, Variant(kNaN), ErrorNumber::InvalidProcedureCall, false, false},
    {"null sex", Population::UnitedKingdom, 4, Variant::null(), ErrorNumber::InvalidUseOfNull, false, false},
    {"null bwt", Population::UnitedKingdom, 0, Variant::null(), ErrorNumber::InvalidUseOfNull, true, false},
    {"gest of 1e308 days", Population::UnitedKingdom, 1, Variant(1e308), ErrorNumber::Overflow, false, false},
};

TEST(Failures, EachEndsTheMethodWithItsErrorAfterTheWriteBacksBeforeIt)
{
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.what);
        double gestDays = 280, height = 170;
        Variant args[7] = {
            Variant(3500.0), Variant::refTo(gestDays), Variant(65.0), Variant::refTo(height), Variant(1), Variant(1),
            Variant(0)};
        args[c.badIndex] = c.badValue;
        const bool gestReplaced = c.badIndex == 1;
        const bool heightReplaced = c.badIndex == 3;
        try {
            populationMethod(c.population)(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
            ADD_FAILURE() << "no error raised";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), c.error) << error.what();
        }
        if (!gestReplaced) {
            EXPECT_EQ(gestDays, c.gestInWeeksAfterwards ? 40 : 280);
        }
        if (!heightReplaced) {
            EXPECT_EQ(height, c.heightCentredAfterwards ? 3 : 170);
        }
    }
}

TEST(Failures, ADivisionByZeroIsReportedAsSuch)
{
    EXPECT_THROW(
        {
            try {
                checked::div(1, 0);
            } catch (const RuntimeError& error) {
                EXPECT_EQ(error.number(), ErrorNumber::DivisionByZero);
                throw;
            }
        },
        RuntimeError);
    EXPECT_THROW(checked::div(0, 0), RuntimeError);
    EXPECT_EQ(checked::mul(1e-200, 1e-200), 0.0);  // underflow is not an error
}

TEST(Failures, FarTailsUnderflowWithoutError)
{
    // A birthweight far below the expected weight: the density underflows to 0
    // in most slices, which is no error.
    Variant result = testing::callWithDoubles(Population::UnitedKingdom, {1, 280, 64, 163, 1, 1, 0});
    EXPECT_LT(result.number(), 0.0);
    EXPECT_GT(result.number(), -0.00001);
}

TEST(Failures, AFailedCallDeliversNoResultAndNoNaN)
{
    const double hostile[] = {kNaN, kInf, -kInf, 1e308, -1e308, 1e-308, 0, -1, 1e154};
    for (double a : hostile) {
        for (int index = 0; index < 7; ++index) {
            testing::Inputs in{3500, 280, 65, 165, 0, 1, 0};
            in[index] = a;
            for (std::size_t p = 0; p < kPopulationCount; ++p) {
                try {
                    Variant result = testing::callWithDoubles(static_cast<Population>(p), in);
                    ASSERT_TRUE(result.isDouble());
                    EXPECT_TRUE(std::isfinite(result.number())) << a << " at " << index;
                } catch (const RuntimeError&) {}
            }
        }
    }
}

}  // namespace
}  // namespace wrenfield::engine
