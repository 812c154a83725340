#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"

namespace wrenfield {
namespace {

TEST(NumberFromText, AcceptsTheNumericGrammar)
{
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"3400", 3400},   {"  3400\t", 3400},
        {"+1.5", 1.5},    {"-2", -2},
        {"1e3", 1000},    {"1E+2", 100},
        {"2.5e-1", 0.25}, {".5", 0.5},
        {"5.", 5},        {"-.25", -0.25},
        {"0", 0},         {"007", 7},
        {"1e-400", 0},    {"39.285714285714285", 39.285714285714285},
        {"0.1", 0.1},     {"1.7976931348623157e308", 1.7976931348623157e308},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numberFromText(c.text), c.value) << c.text;
    EXPECT_TRUE(std::signbit(numberFromText("-1e-400")));
}

TEST(NumberFromText, RejectsAnythingElseAsATypeMismatch)
{
    for (const char* text : {"", " ", "abc", "1,5", "1 2", "inf", "nan", "Infinity", "0x10", "1e", "1e+", "--1", "+-1",
                             ".", "-", "3400g", "Over 5000", "1.2.3", "\n3"}) {
        try {
            numberFromText(text);
            ADD_FAILURE() << "accepted \"" << text << "\"";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::TypeMismatch) << text;
        }
    }
}

TEST(NumberFromText, TooLargeIsAnOverflow)
{
    const std::string manyDigits = "2" + std::string(309, '0');  // 2e309
    for (const std::string& text :
         {std::string("1e309"), std::string("-1e400"), std::string("1e999999999999"), manyDigits, manyDigits + ".5"}) {
        try {
            numberFromText(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::Overflow) << text;
        }
    }
}

TEST(NumberFromText, ReadsBackEveryShortestText)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-300, 300);
    for (int n = 0; n < 2000; ++n) {
        double value = std::pow(10.0, exponent(random)) * (n % 2 ? -1 : 1);
        EXPECT_EQ(numberFromText(shortestText(value)), value);
    }
}

// The quick reading of plain decimals gives numberFromText's very double for
// every plain text of up to 15 digits, and declines every other form.
TEST(PlainDecimalValue, GivesTheCorrectlyRoundedValueOrDeclines)
{
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const std::size_t digits = 1 + random() % 15;
        std::string text = random() % 4 == 0 ? "-" : "";
        for (std::size_t d = 0; d < digits; ++d)
            text += static_cast<char>('0' + random() % 10);
        const std::size_t point = random() % (digits + 1);  // digits: no point
        if (point > 0 && point < digits)
            text.insert(text.size() - point, ".");
        std::optional<double> plain = plainDecimalValue(text);
        ASSERT_TRUE(plain) << text;
        const double exact = numberFromText(text);
        ASSERT_EQ(std::memcmp(&*plain, &exact, sizeof exact), 0) << text;
    }
    for (const char* text : {"", "-", ".5", "5.", "+1", " 1", "1 ", "1e3", "1234567890123456", "0.000000000000001",
                             "1,5", "--1", "1.2.3", "inf"})
        EXPECT_FALSE(plainDecimalValue(text)) << '"' << text << '"';
}

// Within a longer text (a CSV line), the scan stops at the first character
// that is no digit, whatever follows it, eight bytes at a time or one.
TEST(ScanPlainDecimal, StopsAtTheFirstCharacterThatIsNoDigit)
{
    struct Case {
        std::string text;
        int length;  // consumed, or -1: no plain decimal starts there
        double value;
    } cases[] = {
        {"3400,280,64.5,163,1,1,0\n", 4, 3400},
        {"64.5,163,1,1,0\n", 4, 64.5},
        {"123456789012345,1234567", 15, 123456789012345},
        {"12345678.1234567,000000", 16, 12345678.1234567},
        {"1234567890123456,000000", -1, 0},  // 16 digits
        {"0000000000000007,000000", -1, 0},
        {"9/8:7,0000000000000000", 1, 9},  // '/' and ':' lie either side of the digits
        {"42\xff\xfa\x80\x39\x39\x39\x39\x39\x39", 2, 42},
        {"-0.25;;;;;;;;;;;;;;", 5, -0.25},
        {"7.x;;;;;;;;;;;;;;", -1, 0},
        {"-.5;;;;;;;;;;;;;;;", -1, 0},
        {",3400;;;;;;;;;;;;", -1, 0},
        {"39", 2, 39},
        {"3", 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double value = -1;
        const char* end = scanPlainDecimal(c.text.data(), c.text.data() + c.text.size(), value);
        if (c.length < 0) {
            EXPECT_EQ(end, nullptr);
            continue;
        }
        ASSERT_NE(end, nullptr);
        EXPECT_EQ(end - c.text.data(), c.length);
        EXPECT_EQ(value, c.value);
    }
}

// The no-raise conversion gives numberFromText's value wherever that one gives
// a value within the double range, and nothing wherever it raises an error or
// leaves the range.
TEST(NumberFromTextInRange, AgreesWithNumberFromTextOrDeclines)
{
    const std::string manyDigits = "2" + std::string(309, '0');
    for (const std::string& text : {std::string("3400"),
                                    std::string("  3400\t"),
                                    std::string("+1.5"),
                                    std::string("-2"),
                                    std::string(".5"),
                                    std::string("5."),
                                    std::string("-0"),
                                    std::string("1E+2"),
                                    std::string("39.285714285714285"),
                                    std::string("1.7976931348623157e308"),
                                    std::string("4.9e-324"),
                                    std::string(""),
                                    std::string(" "),
                                    std::string("abc"),
                                    std::string("inf"),
                                    std::string("nan"),
                                    std::string("0x10"),
                                    std::string("1e"),
                                    std::string("1,5"),
                                    std::string("3400g"),
                                    std::string("\n3"),
                                    std::string("1e309"),
                                    std::string("-1e400"),
                                    std::string("1e-400"),
                                    manyDigits}) {
        std::optional<double> fast = numberFromTextInRange(text);
        double value = 0;
        bool raised = false;
        try {
            value = numberFromText(text);
        } catch (const RuntimeError&) {
            raised = true;
        }
        if (fast) {
            ASSERT_FALSE(raised) << text;
            EXPECT_EQ(*fast, value) << text;
            EXPECT_EQ(std::signbit(*fast), std::signbit(value)) << text;
        } else {
            EXPECT_TRUE(raised || text == "1e-400") << "declined \"" << text << "\"";
        }
    }
}

TEST(LeadingNumberValue, TakesTheLongestLeadingDecimalNumber)
{
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"3500", 3500},  {"Over 5000", 0}, {"4 or more", 4}, {"", 0},     {" 35 00", 3500}, {"\t12\n3", 123},
        {"-4.5x", -4.5}, {"1.2.3", 1.2},   {".", 0},         {"+", 0},    {"-", 0},         {".75", 0.75},
        {"7.", 7},       {"Male", 0},      {"1e3", 1},       {"- 2", -2}, {"2-3", 2},       {"0040", 40},
    };
    for (const Case& c : cases)
        EXPECT_EQ(leadingNumberValue(c.text), c.value) << c.text;
}

TEST(LeadingNumberValue, AValueBeyondADoubleIsAnOverflow)
{
    std::string huge(400, '9');
    try {
        leadingNumberValue(huge);
        ADD_FAILURE() << "no overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::Overflow);
    }
}

TEST(WholeNumberText, PlainDigits)
{
    EXPECT_EQ(wholeNumberText(56), "56");
    EXPECT_EQ(wholeNumberText(100), "100");
    EXPECT_EQ(wholeNumberText(0), "0");
    EXPECT_EQ(wholeNumberText(-0.0), "0");
    EXPECT_EQ(wholeNumberText(-3), "-3");
    EXPECT_EQ(wholeNumberText(1e20), "100000000000000000000");
}

// Whole numbers are written as integers up to 2^53 and by fixed-point
// formatting beyond: either way the text is the fixed-point one.
TEST(WholeNumberText, SameTextAsFixedPointOnEitherSideOfTwoToThe53)
{
    const double around[] = {1,          9,      10,         99,     100,    101,   999999, 1e15, 0x1p52,
                             0x1p53 - 1, 0x1p53, 0x1p53 + 2, 0x1p63, 0x1p64, 1e300, 0.5,    99.5, 1e-300};
    for (const double value : around)
        for (const double signed_ : {value, -value}) {
            char fixed[400];
            const char* const end =
                std::to_chars(fixed, fixed + sizeof fixed, signed_, std::chars_format::fixed, 0).ptr;
            EXPECT_EQ(wholeNumberText(signed_), std::string(fixed, static_cast<std::size_t>(end - fixed))) << signed_;
        }
}

}  // namespace
}  // namespace wrenfield

namespace wrenfield {
namespace {

// The result of a reading: the value, or the error number it raised.
template <typename Read> std::pair<double, int> outcomeOf(Read read, const std::string& text)
{
    try {
        return {read(text), 0};
    } catch (const RuntimeError& e) {
        return {0, e.code()};
    }
}

// Seeded random plain decimals (sign, up to 400 digits, a point anywhere):
// the form's reading and the variant's conversion agree on every one, to the
// same double or the same overflow, and never give a value that is not finite.
TEST(NumericTextInvariant, BothReadingsAgreeOnPlainDecimals)
{
    std::mt19937 random(20261207);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        if (random() % 3 == 0)
            text += random() % 2 ? '-' : '+';
        const std::size_t digits = 1 + random() % (round % 10 == 0 ? 400 : 20);
        const std::size_t point = random() % (digits + 2);  // past the end: no point
        for (std::size_t i = 0; i < digits; ++i) {
            if (i == point)
                text += '.';
            text += static_cast<char>('0' + (random() % 4 == 0 ? random() % 10 : (i == 0 ? 0 : 9)));
        }
        if (point == digits)
            text += '.';
        const auto form = outcomeOf(leadingNumberValue, text);
        const auto variant = outcomeOf(numberFromText, text);
        ASSERT_EQ(form, variant) << text;
        ASSERT_TRUE(std::isfinite(form.first)) << text;
        if (form.second != 0) {
            ASSERT_EQ(form.second, static_cast<int>(ErrorNumber::Overflow)) << text;
        }
    }
}

// Every finite double: its shortest text reads back exactly, and the whole
// number below it is written in plain digits that the form reads back.
TEST(NumericTextInvariant, WrittenNumbersReadBack)
{
    std::mt19937_64 random(7);
    for (int round = 0; round < 20000; ++round) {
        double value;
        const std::uint64_t bits = random();
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            continue;
        ASSERT_EQ(numberFromText(shortestText(value)), value) << shortestText(value);
        const double whole = std::floor(value);
        const std::string digits = wholeNumberText(whole);
        ASSERT_EQ(digits.find_first_not_of("-0123456789"), std::string::npos) << digits;
        ASSERT_EQ(leadingNumberValue(digits), whole) << digits;
    }
}

}  // namespace
}  // namespace wrenfield
