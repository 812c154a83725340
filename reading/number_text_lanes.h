// The texts of eight centiles in the lanes of registers, with AVX-512:
// private to the reading layer's number texts (number_text.cpp chooses it,
// number_text_avx512.cpp holds it).
#pragma once

#include <cstdint>

#include "reading/number_text.h"

namespace wrenfield::reading {

// What the shortest-digits search needs for each binade a centile from
// 0.001 to 100 can lie in (2^-10 to 2^7): the power of ten that scales its
// doubles into the range of the digits sought (as 128 bits, its high and low
// words), the shift of the significand that goes with it (beta), and the
// exponent of ten the scaled digits stand for (minus k); Dragonbox's
// figures, taken from fmt's table by number_text.cpp.
struct CentileBinades {
    static constexpr int kFirstExponent = -10;  // of two: 2^-10 <= 0.001
    static constexpr int kCount = 17;           // to 2^6 (100 < 2^7)
    static constexpr int kRoom = 24;            // three registers' worth each
    alignas(64) std::uint64_t cacheHigh[kRoom] = {};
    alignas(64) std::uint64_t cacheLow[kRoom] = {};
    alignas(64) std::uint64_t beta[kRoom] = {};
    alignas(64) std::uint64_t minusK[kRoom] = {};  // negative, as two's complement
};

// Whether this processor has what the lanes need.
bool centileTextLanesSupported() noexcept;

namespace avx512 {
// The texts of values[0] to values[7] into texts (every byte of every slot
// written) where the value is a centile from 0.001 to 100 that is not a
// whole number and its shortest digits come by Dragonbox's common way; the
// returned bits mark the lanes left to writeShortest (a value outside, a
// whole one, a power of two, or one whose digits need Dragonbox's rarer
// steps: a remainder at an end of the rounding interval, or trailing zeros).
// Compiled for AVX-512 F, BW, CD, DQ and VBMI alone.
unsigned writeCentileTexts(const double* values, const CentileBinades& binades, CentileTexts& texts) noexcept;
}  // namespace avx512

}  // namespace wrenfield::reading
