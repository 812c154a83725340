// The shortest text of a double must be byte for byte what std::to_chars
// writes: batch rows, JSON answers and every other door's numbers compare
// equal across doors, and files written before stay the same.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reading/number_text.h"
#include "reading/number_text_lanes.h"

namespace {

using wrenfield::engine::SimdLevel;
using wrenfield::reading::kShortestTextRoom;
using wrenfield::reading::NumberTexts;
using wrenfield::reading::writeShortest;
using wrenfield::reading::writeShortestCentile;

std::string reference(double value)
{
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// What writeShortest writes, and writeShortestCentile (its quick way for
// centiles) must write the same for every value: a difference shows in the
// text compared.
std::string written(double value)
{
    char text[kShortestTextRoom];
    char centileText[kShortestTextRoom];
    std::string general(text, writeShortest(text, value));
    std::string centile(centileText, writeShortestCentile(centileText, value));
    return general == centile ? general : general + " but as a centile " + centile;
}

TEST(ShortestText, EdgesOfTheLayout)
{
    const double values[] = {
        0.0,
        1,
        9,
        10,
        100,
        50.5,
        1.0000000000000002,
        99.99999999999999,
        100.00000000000001,  // centiles and their neighbours
        0.1,
        0.3,
        0.001,
        0.0009999999999999998,
        0.0010000000000000002,
        0.012345678901234567,
        0.9999999999999999,
        1e-4,
        1.5e-4,
        1e-5,
        0.00032,
        3.2e-7,
        2.5e-5,  // fixed against scientific, on the tie
        1e15,
        1e16,
        1e17,
        123456789012345680.0,
        9007199254740993.0,  // whole numbers, beyond 2^53 too
        1e20,
        1e21,
        1e22,
        1e23,
        1e100,
        1e-100,
        1e-300,
        5e-324,  // long exponents, the denormals
        std::numeric_limits<double>::max(),
        std::numeric_limits<double>::min(),
        std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
    };
    for (double value : values) {
        EXPECT_EQ(written(value), reference(value)) << reference(value);
        EXPECT_EQ(written(-value), reference(-value)) << reference(-value);
    }
}

TEST(ShortestText, EveryMagnitudeAndDigitCount)
{
    for (int exponent = -325; exponent <= 310; ++exponent)
        for (int mantissa = 1; mantissa < 100000; mantissa += 997) {
            const double value = mantissa * std::pow(10.0, exponent);
            ASSERT_EQ(written(value), reference(value)) << reference(value);
        }
}

// Readings are whole numbers and tenths: every one below 100,000 and its
// neighbours, where the short way must hand over to the general one.
TEST(ShortestText, EveryTenthBelowAHundredThousand)
{
    for (int tenths = 0; tenths <= 1000000; ++tenths) {
        const double value = tenths / 10.0;
        for (double near : {value, std::nextafter(value, 0.0), std::nextafter(value, 1e6), value + 0.05}) {
            ASSERT_EQ(written(near), reference(near)) << reference(near);
            ASSERT_EQ(written(-near), reference(-near)) << reference(-near);
        }
    }
}

TEST(ShortestText, RandomCentilesAndRandomBits)
{
    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> centile(-1, 101);
    for (int i = 0; i < 200000; ++i) {
        const double value = centile(random);
        ASSERT_EQ(written(value), reference(value));
        const double bits = std::bit_cast<double>(random());
        ASSERT_EQ(written(bits), reference(bits));
    }
}

// Numbers laid out eight at a time, at every width this processor runs:
// each slot holds what writeShortest writes for its value, whatever the
// other seven are and however few there are, and a slot the lanes leave is
// marked so. The values reach every way through the lanes: each binade
// from 0.001 to 10^7 and its ends, either sign, the powers of two, digits
// that end in zeros (few digits), ties and the interval's ends (random
// bits hit them about once in a thousand), whole numbers, and values
// beyond the lanes.
TEST(NumberTexts, EveryWidthWritesWhatTheOneValueWriterWrites)
{
    std::vector<double> values;
    std::mt19937_64 random(515);
    std::uniform_real_distribution<double> centile(-1, 101);
    for (int i = 0; i < 300000; ++i) {
        values.push_back(centile(random));
        // Any double from 2^-11 to 2^25, either sign, every bit of its significand at random.
        const double bits = std::bit_cast<double>((random() >> 12) | 0x3FF0000000000000);
        values.push_back((i % 2 ? -1 : 1) * std::ldexp(bits, static_cast<int>(random() % 36) - 11));
    }
    for (int decimals = 1; decimals <= 7; ++decimals)
        for (int k = 1; k < 20000; k += 7)
            values.push_back(k / std::pow(10.0, decimals) * (k % 3 ? 1 : -1000));
    for (int exponent = -11; exponent <= 25; ++exponent)
        for (double edge : {std::ldexp(1.0, exponent), 0.001, 100.0, 1e7, 50.0, 1.0, 10.0, 1e6})
            for (double near : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e9)})
                for (double sign : {1.0, -1.0})
                    values.push_back(sign * near);
    for (double other :
         {0.0, -0.0, -0.5, 1e-300, 5e-324, 1e20, -999999999999.875, 999999999999.9, 1e12, 123456789012.34567,
          -1234567890123456.7, 9007199254740993.0, 1e15 + 0.5, std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        values.push_back(other);

    std::vector<SimdLevel> levels = {SimdLevel::Portable};
    for (const SimdLevel wide : {SimdLevel::Avx2, SimdLevel::Avx512})
        if (wrenfield::engine::simdLevelSupported(wide))
            levels.push_back(wide);
    for (const SimdLevel level : levels) {
        SCOPED_TRACE(std::string(wrenfield::engine::simdLevelName(level)));
        NumberTexts written;
        NumberTexts laid;
        std::size_t left = 0;
        // Every count from 1 to 8 in turn, so that short groups are laid out too.
        std::size_t count = 0;
        for (std::size_t from = 0; from < values.size(); from += count) {
            count = std::min<std::size_t>(count % NumberTexts::kCount + 1, values.size() - from);
            wrenfield::reading::writeNumberTexts(values.data() + from, count, written, level);
            const unsigned unlaid = wrenfield::reading::layNumberTexts(values.data() + from, count, laid, level);
            ASSERT_EQ(unlaid >> count, 0U);
            for (std::size_t k = 0; k < count; ++k) {
                const double value = values[from + k];
                char expected[kShortestTextRoom];
                const std::string want(expected, writeShortest(expected, value));
                ASSERT_EQ(std::string(written.text[k], written.length[k]), want) << reference(value);
                if (unlaid >> k & 1)
                    ++left;
                else
                    ASSERT_EQ(std::string(laid.text[k], laid.length[k]), want) << reference(value);
            }
        }
        // The lanes take nearly every number in their range, none at Portable.
        if (level == SimdLevel::Portable)
            EXPECT_EQ(left, values.size());
        else
            EXPECT_LT(left, values.size() / 5);
    }
}

// A text is written in its own slot alone: the next slot's bytes are left
// as they were, whatever the number's size and sign.
TEST(NumberTexts, EachTextStaysInItsSlot)
{
    for (const double value :
         {99.99999999999997, -99999.99999999999, 999999999999.9, -999999999999.875, 1e12, -123456789012.34567,
          1234567890123456.7, -1.7976931348623157e308, -5e-324, -std::numeric_limits<double>::quiet_NaN()}) {
        NumberTexts texts;
        std::memset(&texts, 'x', sizeof texts);
        wrenfield::reading::writeNumberTexts(&value, 1, texts, SimdLevel::Portable);
        char expected[kShortestTextRoom];
        EXPECT_EQ(std::string(texts.text[0], texts.length[0]), std::string(expected, writeShortest(expected, value)));
        EXPECT_EQ(std::string(texts.text[1], NumberTexts::kSlot), std::string(NumberTexts::kSlot, 'x'))
            << reference(value);
    }
}

}  // namespace
