#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/runtime_error.h"
#include "platform/variant.h"

namespace wrenfield {
namespace {

ErrorNumber errorOf(auto&& action)
{
    try {
        action();
    } catch (const RuntimeError& error) {
        return error.number();
    }
    ADD_FAILURE() << "no run-time error raised";
    return ErrorNumber{};
}

TEST(Variant, ReadingAReferenceYieldsTheReferencedValue)
{
    double d = 12.5;
    std::int16_t i = -7;
    Variant rd = Variant::refTo(d);
    Variant ri = Variant::refTo(i);
    EXPECT_EQ(rd.number(), 12.5);
    EXPECT_EQ(ri.number(), -7);
    d = 3;
    i = 4;
    EXPECT_EQ(rd.number(), 3);
    EXPECT_EQ(ri.number(), 4);
    EXPECT_TRUE(rd.isDouble());
    EXPECT_TRUE(ri.isInt16());
}

TEST(Variant, StoringIntoAnInt16ReferenceRoundsHalfToEven)
{
    struct Case {
        double stored;
        std::int16_t expected;
    };
    const Case cases[] = {
        {39.5, 40},       {38.5, 38},         {39.2857142857, 39},      {-0.5, 0}, {-1.5, -2}, {2.5000001, 3},
        {32767.4, 32767}, {-32768.5, -32768}, {0.49999999999999994, 0},
    };
    for (const Case& c : cases) {
        std::int16_t target = 99;
        Variant ref = Variant::refTo(target);
        ref.store(c.stored);
        EXPECT_EQ(target, c.expected) << c.stored;
    }
}

TEST(Variant, StoringOutOfInt16RangeIsAnOverflowAndLeavesTheTargetAlone)
{
    for (double stored : {32767.5, 40000.0, -32769.0, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()}) {
        std::int16_t target = 5;
        Variant ref = Variant::refTo(target);
        EXPECT_EQ(errorOf([&] { ref.store(stored); }), ErrorNumber::Overflow) << stored;
        EXPECT_EQ(target, 5);
    }
}

TEST(Variant, StoringIntoAValueReplacesItWithTheDouble)
{
    for (Variant v : {Variant(), Variant(std::int16_t{275}), Variant("275"), Variant(275.0)}) {
        v.store(39.285714285714285);
        EXPECT_EQ(v.kind(), Variant::Kind::Double);
        EXPECT_EQ(v.number(), 39.285714285714285);
        EXPECT_EQ(v.text(), "");
    }
    double target = 1;
    Variant ref = Variant::refTo(target);
    ref.store(2.75);
    EXPECT_EQ(target, 2.75);
    EXPECT_EQ(ref.kind(), Variant::Kind::RefDouble);
}

TEST(Variant, NumberFromEachKind)
{
    EXPECT_EQ(Variant().number(), 0);
    EXPECT_EQ(Variant(std::int16_t{-3}).number(), -3);
    EXPECT_EQ(Variant(2.25).number(), 2.25);
    EXPECT_EQ(Variant(" 3400 ").number(), 3400);
    EXPECT_EQ(errorOf([] { Variant::null().number(); }), ErrorNumber::InvalidUseOfNull);
    EXPECT_EQ(errorOf([] { Variant("abc").number(); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant("").number(); }), ErrorNumber::TypeMismatch);
}

TEST(Variant, EqualsTheZeroLengthStringOnlyWhenEmptyOrAZeroLengthText)
{
    double zero = 0;
    std::int16_t zero16 = 0;
    EXPECT_TRUE(Variant().equalsEmptyString());
    EXPECT_TRUE(Variant("").equalsEmptyString());
    EXPECT_FALSE(Variant(" ").equalsEmptyString());
    EXPECT_FALSE(Variant("0").equalsEmptyString());
    EXPECT_FALSE(Variant(0.0).equalsEmptyString());
    EXPECT_FALSE(Variant(std::int16_t{0}).equalsEmptyString());
    EXPECT_FALSE(Variant::refTo(zero).equalsEmptyString());
    EXPECT_FALSE(Variant::refTo(zero16).equalsEmptyString());
    EXPECT_FALSE(Variant::null().equalsEmptyString());
}

TEST(Variant, NumericEqualityWithACode)
{
    struct Case {
        Variant value;
        std::int16_t code;
        bool equal;
    };
    const Case cases[] = {
        {Variant("3"), 3, true},        {Variant(" 3.0 "), 3, true}, {Variant(3.0), 3, true},
        {Variant(3.5), 3, false},       {Variant(3.5), 4, false},    {Variant(std::int16_t{1}), 1, true},
        {Variant(1.0000001), 1, false}, {Variant("1e0"), 1, true},   {Variant(-0.0), 0, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value.equalsCode(c.code), c.equal) << c.value.describe() << " vs " << c.code;
    EXPECT_EQ(errorOf([] { Variant("three").equalsCode(3); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(errorOf([] { Variant::null().equalsCode(1); }), ErrorNumber::InvalidUseOfNull);
    EXPECT_EQ(errorOf([] { Variant(std::nan("")).equalsCode(1); }), ErrorNumber::InvalidProcedureCall);
}

TEST(RuntimeError, CarriesNumberDescriptionAndContext)
{
    RuntimeError error(ErrorNumber::TypeMismatch, "bwt");
    EXPECT_EQ(error.code(), 13);
    EXPECT_EQ(error.description(), "Type mismatch");
    EXPECT_STREQ(error.what(), "Type mismatch: bwt");
    EXPECT_EQ(errorDescription(ErrorNumber::Overflow), "Overflow");
    EXPECT_EQ(errorDescription(ErrorNumber::DivisionByZero), "Division by zero");
    EXPECT_EQ(errorDescription(ErrorNumber::InvalidUseOfNull), "Invalid use of Null");
}

}  // namespace
}  // namespace wrenfield
