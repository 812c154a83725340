// The shortest text of a double must be byte for byte what std::to_chars
// writes: batch rows, JSON answers and every other door's numbers compare
// equal across doors, and files written before stay the same.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "reading/number_text.h"

namespace {

using wrenfield::reading::kShortestTextRoom;
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

}  // namespace
