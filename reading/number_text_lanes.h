// The texts of eight centiles in the lanes of registers, with AVX-512 or
// AVX2: private to the reading layer's number texts (number_text.cpp
// chooses, number_text_avx512.cpp and number_text_avx2.cpp hold them).
#pragma once

#include <array>
#include <cstdint>

#include "reading/number_text.h"

namespace wrenfield::reading {

// 10^0 to 10^19, the powers that settle a count of digits, in five
// registers' worth for the lanes' lookups.
alignas(64) inline constexpr std::array<std::uint64_t, 40> kPowersOfTen = {1ULL,
                                                                           10ULL,
                                                                           100ULL,
                                                                           1000ULL,
                                                                           10000ULL,
                                                                           100000ULL,
                                                                           1000000ULL,
                                                                           10000000ULL,
                                                                           100000000ULL,
                                                                           1000000000ULL,
                                                                           10000000000ULL,
                                                                           100000000000ULL,
                                                                           1000000000000ULL,
                                                                           10000000000000ULL,
                                                                           100000000000000ULL,
                                                                           1000000000000000ULL,
                                                                           10000000000000000ULL,
                                                                           100000000000000000ULL,
                                                                           1000000000000000000ULL,
                                                                           10000000000000000000ULL};

// What the shortest-digits search needs for each binade the lanes take
// (2^-10, below 0.001, to 2^24, above 10^7): the power of ten that scales its
// doubles into the range of the digits sought (as 128 bits, its high and low
// words), the shift of the significand that goes with it (beta), and the
// exponent of ten the scaled digits stand for (minus k); Dragonbox's
// figures, taken from fmt's table by number_text.cpp.
struct NumberBinades {
    static constexpr int kFirstExponent = -10;  // of two: 2^-10 <= 0.001
    static constexpr int kCount = 34;           // to 2^23 (10^7 < 2^24)
    static constexpr int kRoom = 40;            // five registers' worth each
    alignas(64) std::uint64_t cacheHigh[kRoom] = {};
    alignas(64) std::uint64_t cacheLow[kRoom] = {};
    alignas(64) std::uint64_t beta[kRoom] = {};
    alignas(64) std::uint64_t minusK[kRoom] = {};  // negative, as two's complement
};

// Whether this processor has what the AVX-512 lanes need.
bool numberTextLanesSupported() noexcept;

namespace avx512 {
// The texts of values[0] to values[7] into texts, as layNumberTexts lays
// them (every byte of every slot written, the others' too); the returned
// bits mark the lanes left: a value outside 0.001 to 10^7 either way, a
// whole one, a power of two, or one whose digits need Dragonbox's rarer
// steps (a remainder at an end of the rounding interval, or trailing zeros).
// Compiled for AVX-512 F, BW, CD, DQ and VBMI alone.
unsigned layNumberTexts(const double* values, const NumberBinades& binades, NumberTexts& texts) noexcept;
}  // namespace avx512

namespace avx2 {
// The shortest digits of eight numbers, each one's in its place k: the
// text of its first digit (in the low byte of lead) and of the two sets of
// eight after it (middle, last: each eight characters in reading order,
// leading zeros included), the count of its digits (1 to 17), and the place
// of its point (the value is 0.d1d2...dn times 10^point).
struct LaneDigits {
    alignas(32) std::uint64_t middle[8];
    alignas(32) std::uint64_t last[8];
    alignas(32) std::uint64_t lead[8];
    alignas(32) std::int64_t count[8];
    alignas(32) std::int64_t point[8];
};
// The digits of values[0] to values[7]; the returned bits mark the places
// written: a value from 0.001 to 10^7 either way whose digits come by
// Dragonbox's common way and whose text is fixed with a point among its
// digits or "0." before them (-2 <= point < count), as the AVX-512 lanes
// take. Compiled for AVX2 alone.
unsigned shortestDigits(const double* values, const NumberBinades& binades, LaneDigits& digits) noexcept;
}  // namespace avx2

}  // namespace wrenfield::reading
