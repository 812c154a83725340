// The shortest digits of eight numbers, four at a time in the lanes of AVX2
// registers: compiled with -mavx2, run only where the processor has it and
// not the AVX-512 lanes (layNumberTexts decides). Each lane takes a number
// from 0.001 to 10^7, either sign, as the AVX-512 lanes do, by Dragonbox's
// common way:
//
// 1. The significand, scaled by its binade's 128-bit power of ten (the
//    product's top 64 bits from eight 32-bit products), divided by 1000; the
//    remainder against the rounding interval's half-width decides between
//    that quotient and one more digit. A lane whose digits need the rarer
//    steps is left to writeShortest.
// 2. The digits spelled: split into their first digit and two numbers of
//    eight digits, each of those spelled in its lane by eightDigitText's
//    multiplications, its bytes put in reading order.
//
// What AVX2 lacks beside AVX-512 (64-bit products, conversions of 64-bit
// integers, counts of leading zeros, byte permutations across the register)
// is made of 32-bit products, exact divisions by multiplication and
// comparisons with powers of ten; the texts are laid out from these digits
// by number_text.cpp, one number at a time.
#include <immintrin.h>

#include <cstdint>

#include "reading/number_text_lanes.h"

namespace wrenfield::reading::avx2 {

namespace {

__m256i set(std::uint64_t x) noexcept
{
    return _mm256_set1_epi64x(static_cast<long long>(x));
}

__m256i times(__m256i a, __m256i b) noexcept  // the low 32 bits of each
{
    return _mm256_mul_epu32(a, b);
}

__m256i high32(__m256i x) noexcept
{
    return _mm256_srli_epi64(x, 32);
}

__m256i low32(__m256i x) noexcept
{
    return _mm256_and_si256(x, set(0xFFFFFFFF));
}

// The top 64 bits of the 192-bit product of u and the 128-bit high:low,
// from the eight products of their 32-bit pieces added column by column,
// each column's carry into the next.
__m256i productTop(__m256i u, __m256i high, __m256i low) noexcept
{
    const __m256i u1 = high32(u);
    const __m256i c1 = high32(low);
    const __m256i c3 = high32(high);
    const __m256i p00 = times(u, low), p01 = times(u, c1), p02 = times(u, high), p03 = times(u, c3);
    const __m256i p10 = times(u1, low), p11 = times(u1, c1), p12 = times(u1, high), p13 = times(u1, c3);
    auto sum = [](__m256i a, __m256i b, __m256i c) { return _mm256_add_epi64(_mm256_add_epi64(a, b), c); };
    const __m256i t1 = sum(low32(p01), low32(p10), high32(p00));
    const __m256i t2 =
        _mm256_add_epi64(sum(low32(p02), low32(p11), high32(p01)), _mm256_add_epi64(high32(p10), high32(t1)));
    const __m256i t3 =
        _mm256_add_epi64(sum(low32(p03), low32(p12), high32(p02)), _mm256_add_epi64(high32(p11), high32(t2)));
    const __m256i t4 = _mm256_add_epi64(sum(low32(p13), high32(p03), high32(p12)), high32(t3));
    return _mm256_add_epi64(t4, _mm256_slli_epi64(high32(p13), 32));
}

// The top 64 bits of the 128-bit product of a and m.
__m256i productHigh(__m256i a, __m256i m) noexcept
{
    const __m256i a1 = high32(a), m1 = high32(m);
    const __m256i p00 = times(a, m), p01 = times(a, m1), p10 = times(a1, m), p11 = times(a1, m1);
    const __m256i middle = _mm256_add_epi64(_mm256_add_epi64(high32(p00), low32(p01)), low32(p10));
    return _mm256_add_epi64(_mm256_add_epi64(p11, high32(middle)), _mm256_add_epi64(high32(p01), high32(p10)));
}

// The low 64 bits of the product of a and m.
__m256i productLow(__m256i a, __m256i m) noexcept
{
    const __m256i cross = _mm256_add_epi64(times(high32(a), m), times(a, high32(m)));
    return _mm256_add_epi64(times(a, m), _mm256_slli_epi64(cross, 32));
}

// Whether a <= b, both taken as unsigned.
__m256i atMostUnsigned(__m256i a, __m256i b) noexcept
{
    const __m256i flip = set(std::uint64_t{1} << 63);
    return _mm256_xor_si256(_mm256_cmpgt_epi64(_mm256_xor_si256(a, flip), _mm256_xor_si256(b, flip)), set(~0ULL));
}

__m256i gather(__m256i index, const std::uint64_t* table) noexcept
{
    return _mm256_i64gather_epi64(reinterpret_cast<const long long*>(table), index, 8);
}

// The eight digits of each lane's number (below 10^8) as characters in
// reading order: the number splits into its halves of four digits, each
// half into two pairs, each pair into two digits, one multiplication a step
// (eightDigitText's, lane by lane); the lane's bytes are then reversed.
__m256i eightDigitTexts(__m256i n) noexcept
{
    const __m256i upper = _mm256_srli_epi64(times(n, set(0x68db8bb)), 40);
    const __m256i halves = _mm256_add_epi64(n, times(upper, set(0x100000000 - 10000)));
    const __m256i hundreds = _mm256_srli_epi32(_mm256_mullo_epi32(halves, _mm256_set1_epi32(0x147b)), 19);
    const __m256i pairs = _mm256_add_epi32(halves, _mm256_mullo_epi32(hundreds, _mm256_set1_epi32(0x10000 - 100)));
    const __m256i tens = _mm256_srli_epi16(_mm256_mullo_epi16(pairs, _mm256_set1_epi16(0x67)), 10);
    const __m256i digits = _mm256_add_epi16(pairs, _mm256_mullo_epi16(tens, _mm256_set1_epi16(0x100 - 10)));
    const __m256i reversed = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1,
                                              0, 15, 14, 13, 12, 11, 10, 9, 8);
    return _mm256_or_si256(_mm256_shuffle_epi8(digits, reversed), _mm256_set1_epi8('0'));
}

// Exact quotients by multiplication: n / 1000 for any n below 2^63 (fmt's
// own constant), and n / 10^8 for n below 10^17 (2^82 / 10^8 rounded up,
// whose excess times 10^17 stays below 2^82).
__m256i dividedByThousand(__m256i n) noexcept
{
    return _mm256_srli_epi64(productHigh(n, set(2361183241434822607ULL)), 7);
}
__m256i dividedByEightZeros(__m256i n) noexcept
{
    return _mm256_srli_epi64(productHigh(n, set(48357032784585167ULL)), 18);
}

// Numbers[first, first + 4) into their lanes; the returned bits mark the lanes
// whose digits were found, laid out in `digits` from place `first` on.
unsigned fourDigits(const double* values, std::size_t first, const NumberBinades& binades, LaneDigits& out) noexcept
{
    const __m256i bits = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + first)),
                                          set(~(std::uint64_t{1} << 63)));
    const __m256d value = _mm256_castsi256_pd(bits);
    const __m256i fractionMask = set((std::uint64_t{1} << 52) - 1);
    const __m256i fraction = _mm256_and_si256(bits, fractionMask);
    // Numbers from 0.001 to 10^7, and not a power of two (Dragonbox's
    // shorter interval); every other lane is given 1.5 in their place.
    const __m256i taken =
        _mm256_andnot_si256(_mm256_cmpeq_epi64(fraction, _mm256_setzero_si256()),
                            _mm256_castpd_si256(_mm256_and_pd(_mm256_cmp_pd(value, _mm256_set1_pd(0.001), _CMP_GE_OQ),
                                                              _mm256_cmp_pd(value, _mm256_set1_pd(1e7), _CMP_LT_OQ))));
    const __m256i used = _mm256_blendv_epi8(_mm256_castpd_si256(_mm256_set1_pd(1.5)), bits, taken);
    const __m256i binade = _mm256_sub_epi64(_mm256_srli_epi64(used, 52), set(1023 + NumberBinades::kFirstExponent));
    const __m256i high = gather(binade, binades.cacheHigh);
    const __m256i low = gather(binade, binades.cacheLow);
    const __m256i beta = gather(binade, binades.beta);
    const __m256i minusK = gather(binade, binades.minusK);

    // The interval's half-width (deltai) and the scaled centre (z).
    const __m256i delta = _mm256_srlv_epi64(high, _mm256_sub_epi64(set(63), beta));
    const __m256i significand = _mm256_or_si256(_mm256_and_si256(used, fractionMask), set(std::uint64_t{1} << 52));
    const __m256i u = _mm256_sllv_epi64(_mm256_or_si256(_mm256_slli_epi64(significand, 1), set(1)), beta);
    const __m256i z = productTop(u, high, low);

    // z / 1000 and what remains.
    const __m256i quotient = dividedByThousand(z);
    const __m256i remainder = _mm256_sub_epi64(z, productLow(quotient, set(1000)));

    // Within the interval (remainder below deltai): the quotient, unless it
    // ends in zeros or the remainder is 0 (the right end's case). Beyond it:
    // one digit more, from the distance to the interval's middle, unless
    // that distance is a whole number of hundreds (a tie to settle).
    const __m256i within = _mm256_cmpgt_epi64(delta, remainder);
    const __m256i beyond = _mm256_cmpgt_epi64(remainder, delta);
    // A multiple of ten: even, and half of it a multiple of five, which its
    // product with the inverse of 5 (modulo 2^64) tells.
    const __m256i even = _mm256_cmpeq_epi64(_mm256_and_si256(quotient, set(1)), _mm256_setzero_si256());
    const __m256i endsInZero = _mm256_and_si256(
        even,
        atMostUnsigned(productLow(_mm256_srli_epi64(quotient, 1), set(0xCCCCCCCCCCCCCCCD)), set(0x3333333333333333)));
    const __m256i distance =
        _mm256_add_epi64(_mm256_sub_epi64(remainder, _mm256_srli_epi64(delta, 1)), set(50));  // below 10^4
    const __m256i hundreds = _mm256_srli_epi64(times(distance, set(0x147b)), 19);
    const __m256i wholeHundreds = _mm256_cmpeq_epi64(distance, times(hundreds, set(100)));
    const __m256i noRemainder = _mm256_cmpeq_epi64(remainder, _mm256_setzero_si256());
    const __m256i common =
        _mm256_and_si256(taken,
                         _mm256_or_si256(_mm256_andnot_si256(_mm256_or_si256(endsInZero, noRemainder), within),
                                         _mm256_andnot_si256(wholeHundreds, beyond)));
    const __m256i oneMore =
        _mm256_add_epi64(_mm256_add_epi64(_mm256_slli_epi64(quotient, 3), _mm256_slli_epi64(quotient, 1)), hundreds);
    const __m256i digits = _mm256_blendv_epi8(quotient, oneMore, beyond);
    const __m256i exponent = _mm256_add_epi64(minusK, _mm256_blendv_epi8(set(3), set(2), beyond));

    // The count of digits: one, and one more for each power of ten from 10
    // to 10^17 that the digits reach. (The powers are made here rather than
    // read from the library's table through an inline function, which
    // would then be compiled into this file for AVX2 too.)
    __m256i count = set(1);
    std::uint64_t power = 10;
#pragma GCC unroll 17
    for (int k = 1; k <= 17; ++k, power *= 10)
        count = _mm256_sub_epi64(count, _mm256_cmpgt_epi64(digits, set(power - 1)));
    const __m256i point = _mm256_add_epi64(count, exponent);
    // Fixed notation with the point among the digits or "0." before them:
    // a whole number, or anything else, is writeShortest's.
    const __m256i laid = _mm256_and_si256(
        _mm256_and_si256(common, _mm256_cmpgt_epi64(count, point)),
        _mm256_andnot_si256(
            _mm256_or_si256(_mm256_cmpgt_epi64(set(static_cast<std::uint64_t>(-2)), point),
                            _mm256_or_si256(_mm256_cmpgt_epi64(point, set(7)), _mm256_cmpgt_epi64(count, set(17)))),
            set(~0ULL)));

    // The digits spelled: the first, then two numbers of eight.
    const __m256i eightZeros = set(100000000);
    const __m256i leading = dividedByEightZeros(digits);  // below 10^9
    const __m256i last = _mm256_sub_epi64(digits, times(leading, eightZeros));
    const __m256i lead = _mm256_srli_epi64(times(leading, set(1441151881)), 57);
    const __m256i middle = _mm256_sub_epi64(leading, times(lead, eightZeros));
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.middle + first), eightDigitTexts(middle));
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.last + first), eightDigitTexts(last));
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.lead + first), _mm256_or_si256(lead, set('0')));
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.count + first), count);
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.point + first), point);
    return static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(laid))) << first;
}

}  // namespace

unsigned shortestDigits(const double* values, const NumberBinades& binades, LaneDigits& digits) noexcept
{
    return fourDigits(values, 0, binades, digits) | fourDigits(values, 4, binades, digits);
}

}  // namespace wrenfield::reading::avx2
