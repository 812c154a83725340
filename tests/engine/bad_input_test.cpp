// What the population methods do with each kind of bad input a host can
// pass: a missing input gives the zero-length text, a value that cannot be
// a number or that breaks the arithmetic raises its run-time error, and a
// number out of the usual range is computed as the model defines it, always
// to a finite centile. The rows of docs/bad-inputs.md name these tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "engine/population_methods.h"
#include "platform/runtime_error.h"

namespace wrenfield::engine {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

enum Arg { Bwt, Gest, Wt, Ht, Sex, Eth, Par };

struct Outcome {
    bool missing = false;              // the zero-length text
    std::optional<double> centile;     // a double
    std::optional<ErrorNumber> error;  // a run-time error
    double gestAfter = 0;              // what the caller's gest holds afterwards
};

// The worked example (3400 g, 280 days, 64 kg, 163 cm, male, code 1, parity
// 0) with one argument replaced; gest is the caller's own double.
Outcome callWith(Population population, Arg which, const Variant& bad)
{
    double gestDays = 280;
    Variant args[7] = {Variant(3400.0), Variant::refTo(gestDays), Variant(64.0), Variant(163.0), Variant(1), Variant(1),
                       Variant(0)};
    args[which] = bad;
    Outcome outcome;
    try {
        Variant result = populationMethod(population)(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
        if (result.isString()) {
            EXPECT_TRUE(result.text().empty());
            outcome.missing = true;
        } else {
            EXPECT_TRUE(result.isDouble());
            outcome.centile = result.number();
        }
    } catch (const RuntimeError& e) {
        outcome.error = e.number();
    }
    outcome.gestAfter = which == Gest ? (args[Gest].isRef() ? gestDays : args[Gest].number()) : gestDays;
    return outcome;
}

struct Row {
    const char* kind;
    Arg which;
    Variant value;
};

const Population kAll[] = {Population::UnitedKingdom, Population::UnitedStates, Population::Sweden,
                           Population::NewZealand, Population::Australia};

TEST(BadInputs, MissingGivesTheZeroLengthTextAndKeepsTheDays)
{
    const Row rows[] = {
        {"empty bwt", Bwt, Variant()},         {"empty gest", Gest, Variant()}, {"zero-length wt", Wt, Variant("")},
        {"zero-length par", Par, Variant("")}, {"empty eth", Eth, Variant()},   {"zero-length sex", Sex, Variant("")},
    };
    for (Population p : kAll) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.kind);
            Outcome o = callWith(p, row.which, row.value);
            EXPECT_TRUE(o.missing);
            if (row.which != Gest) {
                EXPECT_EQ(o.gestAfter, 280);
            }
        }
    }
}

TEST(BadInputs, RaiseTheirRunTimeError)
{
    struct ErrorRow {
        const char* kind;
        Arg which;
        Variant value;
        ErrorNumber error;
    };
    const ErrorRow rows[] = {
        {"non-numeric text", Wt, Variant("abc"), ErrorNumber::TypeMismatch},
        {"thousands separator", Bwt, Variant("3,400"), ErrorNumber::TypeMismatch},
        {"hexadecimal", Ht, Variant("0x10"), ErrorNumber::TypeMismatch},
        {"the text nan", Wt, Variant("nan"), ErrorNumber::TypeMismatch},
        {"the text inf", Bwt, Variant("inf"), ErrorNumber::TypeMismatch},
        {"a name for a code", Eth, Variant("European"), ErrorNumber::TypeMismatch},
        {"a blank text is not missing", Wt, Variant(" "), ErrorNumber::TypeMismatch},
        {"null", Sex, Variant::null(), ErrorNumber::InvalidUseOfNull},
        {"NaN weight", Wt, Variant(kNaN), ErrorNumber::InvalidProcedureCall},
        {"NaN gestation", Gest, Variant(kNaN), ErrorNumber::InvalidProcedureCall},
        {"NaN code", Eth, Variant(kNaN), ErrorNumber::InvalidProcedureCall},
        {"+infinity height", Ht, Variant(kInf), ErrorNumber::Overflow},
        {"-infinity weight", Wt, Variant(-kInf), ErrorNumber::Overflow},
        {"+infinity birthweight", Bwt, Variant(kInf), ErrorNumber::Overflow},
        {"1e308 weight", Wt, Variant(1e308), ErrorNumber::Overflow},
        {"1e308 birthweight", Bwt, Variant(1e308), ErrorNumber::Overflow},
        {"1e308 gestation", Gest, Variant(1e308), ErrorNumber::Overflow},
        {"1e308 as text", Ht, Variant("1e308"), ErrorNumber::Overflow},
        {"beyond the double range as text", Wt, Variant("1e309"), ErrorNumber::Overflow},
    };
    for (Population p : kAll) {
        for (const ErrorRow& row : rows) {
            SCOPED_TRACE(row.kind);
            Outcome o = callWith(p, row.which, row.value);
            ASSERT_TRUE(o.error.has_value()) << "no error";
            EXPECT_EQ(*o.error, row.error);
        }
    }
}

TEST(BadInputs, OutOfRangeNumbersAreComputedToAFiniteCentile)
{
    const Row rows[] = {
        {"negative weight", Wt, Variant(-65.0)},
        {"negative birthweight", Bwt, Variant(-3400.0)},
        {"zero height", Ht, Variant(0.0)},
        {"gestation 0 days", Gest, Variant(0.0)},
        {"gestation 10000 days", Gest, Variant(10000.0)},
        {"tiny birthweight", Bwt, Variant(1e-300)},
        {"birthweight 1e6", Bwt, Variant(1e6)},
        {"code far out of range", Eth, Variant(1e300)},
        {"infinite code", Par, Variant(kInf)},
        {"numeric text with blanks", Bwt, Variant(" 3400 ")},
        {"exponent text", Bwt, Variant("3.4e3")},
    };
    for (Population p : kAll) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.kind);
            Outcome o = callWith(p, row.which, row.value);
            ASSERT_TRUE(o.centile.has_value()) << (o.error ? static_cast<int>(*o.error) : -1);
            EXPECT_TRUE(std::isfinite(*o.centile));
            // Not clipped: a few millionths beyond 0..100 at the extremes.
            EXPECT_GT(*o.centile, -0.00001);
            EXPECT_LT(*o.centile, 100.00001);
        }
    }
}

TEST(BadInputs, GestationOutsideTheUsualRangeStillWritesTheWeeksBack)
{
    EXPECT_EQ(callWith(Population::UnitedKingdom, Gest, Variant(0.0)).gestAfter, 0);
    EXPECT_EQ(callWith(Population::UnitedKingdom, Gest, Variant(10000.0)).gestAfter, 10000.0 / 7);
    // No range check: 10,000 days make the gestation proportion negative and
    // the centile sits at its lower extreme.
    EXPECT_LT(*callWith(Population::UnitedKingdom, Gest, Variant(10000.0)).centile, 0);
    // 0 days: the proportion is its constant 2.991, nearly three times the
    // expected weight at term, so a term-sized baby is far below it.
    EXPECT_LT(*callWith(Population::UnitedKingdom, Gest, Variant(0.0)).centile, 0.001);
}

TEST(BadInputs, CodesOutOfRangeTakeTheTermForAnyOtherCode)
{
    const double european = *callWith(Population::UnitedKingdom, Eth, Variant(1)).centile;
    for (Variant code : {Variant(0), Variant(10), Variant(99), Variant(-5), Variant(3.5), Variant(32767)})
        EXPECT_EQ(*callWith(Population::UnitedKingdom, Eth, code).centile, european) << code.describe();
    const double fourOrMore = *callWith(Population::UnitedKingdom, Par, Variant(4)).centile;
    for (Variant code : {Variant(5), Variant(-1), Variant(7.5), Variant(1e10)})
        EXPECT_EQ(*callWith(Population::UnitedKingdom, Par, code).centile, fourOrMore) << code.describe();
    const double female = *callWith(Population::UnitedKingdom, Sex, Variant(0)).centile;
    for (Variant code : {Variant(2), Variant(5), Variant(-1), Variant(1.5)})
        EXPECT_EQ(*callWith(Population::UnitedKingdom, Sex, code).centile, female) << code.describe();
}

}  // namespace
}  // namespace wrenfield::engine
