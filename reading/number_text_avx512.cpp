// Eight numbers' texts in the lanes of registers: compiled for AVX-512 F,
// BW, CD, DQ and VBMI, run only where the processor has them
// (layNumberTexts decides). Each lane takes a number from 0.001 to 10^7,
// either sign, in fixed notation, which is never longer there than
// scientific.
//
// 1. The shortest digits, by Dragonbox's common way, lane by lane: the
//    significand, scaled by its binade's 128-bit power of ten (the product's
//    top 64 bits from eight 32-bit products), divided by 1000; the remainder
//    against the rounding interval's half-width decides between that
//    quotient and one more digit. A lane whose digits need the rarer steps
//    is left to writeShortest.
// 2. The digits spelled: the significand (below 10^17) split into its first
//    digit and two numbers of eight digits, each of those spelled in its
//    lane of eight bytes by the multiplications eightDigitText makes in one
//    register.
// 3. The text laid out: a byte permutation gathers each number's seventeen
//    digits, a "0" and a "." into one half of a register, and a second one,
//    its indices taken from a table by the number's count of digits and
//    place of the point, lays out its text: "d.ddd" to "ddddddd.ddd",
//    "0.ddd", "0.0ddd" or "0.00ddd"; a third moves a negative one's text
//    along for its "-".
#include <immintrin.h>

#include <array>
#include <cstdint>
#include <limits>

#include "reading/number_text_lanes.h"

namespace wrenfield::reading::avx512 {

namespace {

// GCC 12 warns that the unmasked forms of some instructions may use an
// unset register: the masked forms with every lane are used instead.
constexpr __mmask8 kEvery = 0xFF;
constexpr __mmask16 kEverySixteen = 0xFFFF;
constexpr __mmask64 kEveryByte = ~__mmask64{0};

// Where a number's characters lie in its half of a source register: its
// first digit, the two eight digits after it, a zero and a point.
constexpr int kLeadByte = 0;
constexpr int kZeroByte = 17;
constexpr int kPointByte = 18;
constexpr int kHalf = 32;

constexpr int kMostDigits = 17;
constexpr int kLeastPoint = -2;  // 0.001 is 0.1 times 10^-2
constexpr int kMostPoint = 7;    // below 10^7
constexpr int kPoints = kMostPoint - kLeastPoint + 1;

// For each count of digits (1 to 17) and place of the point (-2 to 7, below
// the count), the bytes of the text, as places in the source half.
struct Layouts {
    alignas(64) std::array<std::array<std::int8_t, kHalf>, kMostDigits * kPoints> bytes{};

    constexpr Layouts()
    {
        for (int count = 1; count <= kMostDigits; ++count)
            for (int point = kLeastPoint; point <= kMostPoint && point < count; ++point) {
                auto& text = bytes[static_cast<std::size_t>((count - 1) * kPoints + point - kLeastPoint)];
                const int first = kMostDigits - count;  // the first digit's byte
                for (int j = 0; j < kHalf; ++j) {
                    int from = kZeroByte;  // beyond the text: anything
                    if (point > 0) {
                        if (j < point)
                            from = first + j;
                        else if (j == point)
                            from = kPointByte;
                        else if (j <= count)
                            from = first + j - 1;
                    } else {
                        const int zeros = -point;
                        if (j == 1)
                            from = kPointByte;
                        else if (j >= 2 + zeros && j < 2 + zeros + count)
                            from = first + j - 2 - zeros;
                    }
                    text[static_cast<std::size_t>(j)] = static_cast<std::int8_t>(from);
                }
            }
    }
};
constexpr Layouts kLayouts;

// The source halves of numbers 2k and 2k + 1 from the registers of the
// middle and last eight digits (number r's in bytes 8r to 8r + 7, the last
// digit first): for vpermt2b, a byte's index below 64 is the middle's, from
// 64 the last's. And the first digit's byte in the register of first digits.
struct Sources {
    alignas(64) std::array<std::array<std::int8_t, 64>, 4> digits{};
    alignas(64) std::array<std::array<std::int8_t, 64>, 4> lead{};

    constexpr Sources()
    {
        for (int k = 0; k < 4; ++k)
            for (int half = 0; half < 2; ++half) {
                const int number = 2 * k + half;
                auto& row = digits[static_cast<std::size_t>(k)];
                for (int j = 1; j <= 8; ++j) {
                    row[static_cast<std::size_t>(half * kHalf + j)] = static_cast<std::int8_t>(8 * number + 8 - j);
                    row[static_cast<std::size_t>(half * kHalf + 8 + j)] =
                        static_cast<std::int8_t>(64 + 8 * number + 8 - j);
                }
                lead[static_cast<std::size_t>(k)][static_cast<std::size_t>(half * kHalf + kLeadByte)] =
                    static_cast<std::int8_t>(8 * number);
            }
    }
};
constexpr Sources kSources;

// Each byte from the byte before it in its half (the first from itself).
alignas(64) constexpr std::array<std::int8_t, 64> kOneAlong = [] {
    std::array<std::int8_t, 64> bytes{};
    for (int b = 0; b < 64; ++b)
        bytes[static_cast<std::size_t>(b)] = static_cast<std::int8_t>(b % kHalf == 0 ? b : b - 1);
    return bytes;
}();

constexpr __mmask64 kLeadBytes = std::uint64_t{1} << kLeadByte | std::uint64_t{1} << (kHalf + kLeadByte);
constexpr __mmask64 kFixedBytes = std::uint64_t{1} << kZeroByte | std::uint64_t{1} << kPointByte |
    std::uint64_t{1} << (kHalf + kZeroByte) | std::uint64_t{1} << (kHalf + kPointByte);

__m512i shiftRight(__m512i x, unsigned bits) noexcept
{
    return _mm512_maskz_srli_epi64(kEvery, x, bits);
}

__m512i times(__m512i a, __m512i b) noexcept  // the low 32 bits of each
{
    return _mm512_maskz_mul_epu32(kEvery, a, b);
}

// Lane k's word table[index[k]] of a table of up to 40 words (five
// registers' worth, from a 64-byte bound): each sixteen by one permutation
// of two registers, the last eight by one of the fifth.
__m512i lookUp(__m512i index, const std::uint64_t* table) noexcept
{
    auto part = [&](int first) { return _mm512_load_si512(table + first); };
    const __m512i words = _mm512_permutex2var_epi64(part(0), index, part(8));
    const __m512i next = _mm512_permutex2var_epi64(part(16), index, part(24));
    const __m512i last = _mm512_maskz_permutexvar_epi64(kEvery, index, part(32));
    return _mm512_mask_mov_epi64(
        _mm512_mask_mov_epi64(words, _mm512_cmpge_epu64_mask(index, _mm512_set1_epi64(16)), next),
        _mm512_cmpge_epu64_mask(index, _mm512_set1_epi64(32)), last);
}

// The top 64 bits of the 192-bit product of u and the 128-bit
// high:low, from the eight products of their 32-bit pieces added column by
// column, each column's carry into the next.
__m512i productTop(__m512i u, __m512i high, __m512i low) noexcept
{
    const __m512i lower32 = _mm512_set1_epi64(0xFFFFFFFF);
    const __m512i u1 = shiftRight(u, 32);
    const __m512i c1 = shiftRight(low, 32);
    const __m512i c3 = shiftRight(high, 32);
    const __m512i p00 = times(u, low), p01 = times(u, c1), p02 = times(u, high), p03 = times(u, c3);
    const __m512i p10 = times(u1, low), p11 = times(u1, c1), p12 = times(u1, high), p13 = times(u1, c3);
    auto lo = [&](__m512i x) { return _mm512_and_si512(x, lower32); };
    auto hi = [](__m512i x) { return shiftRight(x, 32); };
    auto sum = [](__m512i a, __m512i b, __m512i c) { return _mm512_add_epi64(_mm512_add_epi64(a, b), c); };
    const __m512i t1 = sum(lo(p01), lo(p10), hi(p00));
    const __m512i t2 = _mm512_add_epi64(sum(lo(p02), lo(p11), hi(p01)), sum(hi(p10), hi(t1), _mm512_setzero_si512()));
    const __m512i t3 = _mm512_add_epi64(sum(lo(p03), lo(p12), hi(p02)), _mm512_add_epi64(hi(p11), hi(t2)));
    const __m512i t4 = _mm512_add_epi64(sum(lo(p13), hi(p03), hi(p12)), hi(t3));
    return _mm512_add_epi64(t4, _mm512_maskz_slli_epi64(kEvery, hi(p13), 32));
}

// The eight digits of each lane's number (below 10^8) as characters, the
// last digit in the lane's first byte: the number splits into its halves of
// four digits, each half into two pairs, each pair into two digits, one
// multiplication a step (eightDigitText's, lane by lane).
__m512i eightDigitTexts(__m512i n) noexcept
{
    const __m512i upper = shiftRight(times(n, _mm512_set1_epi64(0x68db8bb)), 40);
    const __m512i halves = _mm512_add_epi64(n, times(upper, _mm512_set1_epi64(0x100000000 - 10000)));
    const __m512i hundreds =
        _mm512_maskz_srli_epi32(kEverySixteen, _mm512_mullo_epi32(halves, _mm512_set1_epi32(0x147b)), 19);
    const __m512i pairs = _mm512_add_epi32(halves, _mm512_mullo_epi32(hundreds, _mm512_set1_epi32(0x10000 - 100)));
    const __m512i tens = _mm512_srli_epi16(_mm512_mullo_epi16(pairs, _mm512_set1_epi16(0x67)), 10);
    const __m512i digits = _mm512_add_epi16(pairs, _mm512_mullo_epi16(tens, _mm512_set1_epi16(0x100 - 10)));
    return _mm512_or_si512(digits, _mm512_set1_epi8('0'));
}

// Each lane's n (below 2^63) divided by d (1000 or 10^8), rounded down,
// and what remains. The quotient from doubles is within a few units of the
// exact one (three roundings of 2^-53 each, on a quotient below 2^54); the
// exact remainder of that guess, as a double, then counts the steps to the
// exact one: (rest / d) lies within a few units, and nearer than 1 / d to a
// whole number only where it is one, so 0.1 / d added before rounding down
// settles it. `exact` gives the guess times d exactly.
template <typename Times> __m512i quotientAndRest(__m512i n, double d, __m512i& rest, const Times& exact) noexcept
{
    const __m512i guess = _mm512_cvttpd_epu64(_mm512_mul_pd(_mm512_cvtepu64_pd(n), _mm512_set1_pd(1 / d)));
    const __m512d off = _mm512_cvtepi64_pd(_mm512_sub_epi64(n, exact(guess)));
    const __m512d steps = _mm512_maskz_roundscale_pd(
        kEvery, _mm512_add_pd(_mm512_mul_pd(off, _mm512_set1_pd(1 / d)), _mm512_set1_pd(0.1 / d)),
        _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    rest = _mm512_cvttpd_epi64(_mm512_sub_pd(off, _mm512_mul_pd(steps, _mm512_set1_pd(d))));
    return _mm512_add_epi64(guess, _mm512_cvttpd_epi64(steps));
}

__m512i gather(__m512i index, const void* table) noexcept
{
    return _mm512_mask_i64gather_epi64(_mm512_setzero_si512(), kEvery, index, table, 8);
}

}  // namespace

unsigned layNumberTexts(const double* values, const NumberBinades& binades, NumberTexts& texts) noexcept
{
    const __m512i signBit = _mm512_set1_epi64(std::numeric_limits<std::int64_t>::min());
    const __m512i signed_ = _mm512_loadu_si512(values);
    const __mmask8 negative = _mm512_test_epi64_mask(signed_, signBit);
    const __m512i bits = _mm512_and_si512(signed_, _mm512_set1_epi64(std::numeric_limits<std::int64_t>::max()));
    const __m512d value = _mm512_castsi512_pd(bits);
    const __m512i fraction = _mm512_and_si512(bits, _mm512_set1_epi64((std::uint64_t{1} << 52) - 1));
    // Numbers from 0.001 to 10^7, and not a power of two (Dragonbox's
    // shorter interval); every other lane is given 1.5 in their place.
    const __mmask8 taken = _mm512_cmp_pd_mask(value, _mm512_set1_pd(0.001), _CMP_GE_OQ) &
        _mm512_cmp_pd_mask(value, _mm512_set1_pd(1e7), _CMP_LT_OQ) & _mm512_test_epi64_mask(fraction, fraction);
    const __m512i used = _mm512_mask_blend_epi64(taken, _mm512_castpd_si512(_mm512_set1_pd(1.5)), bits);
    const __m512i binade =
        _mm512_sub_epi64(shiftRight(used, 52), _mm512_set1_epi64(1023 + NumberBinades::kFirstExponent));
    const __m512i high = lookUp(binade, binades.cacheHigh);
    const __m512i low = lookUp(binade, binades.cacheLow);
    const __m512i beta = lookUp(binade, binades.beta);
    const __m512i minusK = lookUp(binade, binades.minusK);

    // The interval's half-width (deltai) and the scaled centre (z).
    const __m512i delta = _mm512_maskz_srlv_epi64(kEvery, high, _mm512_sub_epi64(_mm512_set1_epi64(63), beta));
    const __m512i significand = _mm512_or_si512(_mm512_and_si512(used, _mm512_set1_epi64((std::uint64_t{1} << 52) - 1)),
                                                _mm512_set1_epi64(std::uint64_t{1} << 52));
    const __m512i u = _mm512_maskz_sllv_epi64(
        kEvery, _mm512_or_si512(_mm512_maskz_slli_epi64(kEvery, significand, 1), _mm512_set1_epi64(1)), beta);
    const __m512i z = productTop(u, high, low);

    // z / 1000 (z is below 2^63) and what remains.
    __m512i remainder;
    const __m512i quotient =
        quotientAndRest(z, 1000, remainder, [](__m512i q) { return _mm512_mullo_epi64(q, _mm512_set1_epi64(1000)); });

    // Within the interval (remainder below deltai): the quotient, unless it
    // ends in zeros or the remainder is 0 (the right end's case). Beyond it:
    // one digit more, from the distance to the interval's middle, unless
    // that distance is a whole number of hundreds (a tie to settle).
    const __mmask8 within = _mm512_cmplt_epi64_mask(remainder, delta);
    const __mmask8 beyond = _mm512_cmpgt_epi64_mask(remainder, delta);
    // A multiple of ten: even, and half of it a multiple of five, which its
    // product with the inverse of 5 (modulo 2^64) tells.
    const __mmask8 endsInZero = _mm512_testn_epi64_mask(quotient, _mm512_set1_epi64(1)) &
        _mm512_cmple_epu64_mask(_mm512_mullo_epi64(shiftRight(quotient, 1), _mm512_set1_epi64(0xCCCCCCCCCCCCCCCD)),
                                _mm512_set1_epi64(0x3333333333333333));
    const __m512i distance =
        _mm512_add_epi64(_mm512_sub_epi64(remainder, shiftRight(delta, 1)), _mm512_set1_epi64(50));  // below 10^4
    const __m512i hundreds = shiftRight(times(distance, _mm512_set1_epi64(0x147b)), 19);
    const __mmask8 wholeHundreds = _mm512_cmpeq_epi64_mask(distance, times(hundreds, _mm512_set1_epi64(100)));
    const __mmask8 common =
        taken & ((within & ~endsInZero & _mm512_test_epi64_mask(remainder, remainder)) | (beyond & ~wholeHundreds));
    const __m512i oneMore = _mm512_add_epi64(
        _mm512_add_epi64(_mm512_maskz_slli_epi64(kEvery, quotient, 3), _mm512_maskz_slli_epi64(kEvery, quotient, 1)),
        hundreds);
    __m512i digits = _mm512_mask_blend_epi64(beyond, quotient, oneMore);
    const __m512i exponent =
        _mm512_add_epi64(minusK, _mm512_mask_blend_epi64(beyond, _mm512_set1_epi64(3), _mm512_set1_epi64(2)));

    // The count of digits: the bits give it to within one, the powers of ten settle it.
    const __m512i bitWidth =
        _mm512_sub_epi64(_mm512_set1_epi64(64), _mm512_lzcnt_epi64(_mm512_or_si512(digits, _mm512_set1_epi64(1))));
    const __m512i guess = shiftRight(times(bitWidth, _mm512_set1_epi64(1233)), 12);
    const __m512i count = _mm512_mask_add_epi64(
        guess, _mm512_cmpge_epu64_mask(digits, lookUp(guess, kPowersOfTen.data())), guess, _mm512_set1_epi64(1));
    __m512i point = _mm512_add_epi64(count, exponent);
    // Fixed notation with the point among the digits or "0." before them:
    // a whole number, or anything else, is writeShortest's.
    const __mmask8 laid = common & _mm512_cmplt_epi64_mask(point, count) &
        _mm512_cmpge_epi64_mask(point, _mm512_set1_epi64(kLeastPoint)) &
        _mm512_cmple_epi64_mask(point, _mm512_set1_epi64(kMostPoint)) &
        _mm512_cmple_epi64_mask(count, _mm512_set1_epi64(kMostDigits));
    // Stand-in digits ("1.0") in every other lane, so that its table entry exists.
    digits = _mm512_mask_blend_epi64(laid, _mm512_set1_epi64(10), digits);
    const __m512i counted = _mm512_mask_blend_epi64(laid, _mm512_set1_epi64(2), count);
    point = _mm512_mask_blend_epi64(laid, _mm512_set1_epi64(1), point);
    const __mmask8 minus = negative & laid;
    __m512i length =
        _mm512_add_epi64(counted,
                         _mm512_mask_blend_epi64(_mm512_cmpgt_epi64_mask(point, _mm512_setzero_si512()),
                                                 _mm512_sub_epi64(_mm512_set1_epi64(2), point), _mm512_set1_epi64(1)));
    length = _mm512_mask_add_epi64(length, minus, length, _mm512_set1_epi64(1));
    _mm512_mask_cvtepi64_storeu_epi8(texts.length, kEvery, length);

    // The digits spelled.
    const __m512i eightZeros = _mm512_set1_epi64(100000000);
    __m512i last;
    const __m512i first =
        quotientAndRest(digits, 1e8, last, [&](__m512i q) { return times(q, eightZeros); });  // below 10^9
    const __m512i lastText = eightDigitTexts(last);
    // first < 10^9 < 2^30: its first digit by one multiplication and a shift.
    const __m512i lead = shiftRight(times(first, _mm512_set1_epi64(1441151881)), 57);
    const __m512i middleText = eightDigitTexts(_mm512_sub_epi64(first, times(lead, eightZeros)));
    const __m512i leadText = _mm512_or_si512(lead, _mm512_set1_epi64('0'));
    const __m512i fixed =
        _mm512_mask_blend_epi8(std::uint64_t{1} << (kHalf + kZeroByte) | std::uint64_t{1} << kZeroByte,
                               _mm512_set1_epi8('.'), _mm512_set1_epi8('0'));

    // The texts laid out, two centiles a register.
    const __m512i entry = _mm512_add_epi64(
        _mm512_mullo_epi64(_mm512_sub_epi64(counted, _mm512_set1_epi64(1)), _mm512_set1_epi64(kPoints)),
        _mm512_sub_epi64(point, _mm512_set1_epi64(kLeastPoint)));
    const __m512i quarters = _mm512_set_epi64(3, 2, 1, 0, 3, 2, 1, 0);  // a layout's four words
    const __m512i upperHalf =
        _mm512_maskz_inserti64x4(kEvery, _mm512_setzero_si512(), _mm256_set1_epi8(static_cast<char>(kHalf)), 1);
    for (std::size_t k = 0; k < 4; ++k) {
        __m512i source = _mm512_permutex2var_epi8(middleText, _mm512_load_si512(kSources.digits[k].data()), lastText);
        source = _mm512_mask_permutexvar_epi8(source, kLeadBytes, _mm512_load_si512(kSources.lead[k].data()), leadText);
        source = _mm512_mask_blend_epi8(kFixedBytes, source, fixed);
        const auto pair = static_cast<long long>(2 * k);
        const __m512i entries = _mm512_maskz_permutexvar_epi64(
            kEvery, _mm512_set_epi64(pair + 1, pair + 1, pair + 1, pair + 1, pair, pair, pair, pair), entry);
        const __m512i words = _mm512_add_epi64(_mm512_maskz_slli_epi64(kEvery, entries, 2), quarters);
        const __m512i layout = _mm512_add_epi8(gather(words, kLayouts.bytes.data()), upperHalf);
        __m512i text = _mm512_maskz_permutexvar_epi8(kEveryByte, layout, source);
        // A negative number's text one byte along, after its "-".
        const unsigned pairMinus = minus >> (2 * k) & 3;
        const __mmask64 negativeHalves =
            (pairMinus & 1) * std::uint64_t{0xFFFFFFFF} | (pairMinus >> 1) * (std::uint64_t{0xFFFFFFFF} << 32);
        text = _mm512_mask_permutexvar_epi8(text, negativeHalves, _mm512_load_si512(kOneAlong.data()), text);
        text = _mm512_mask_blend_epi8(negativeHalves & kLeadBytes, text, _mm512_set1_epi8('-'));
        _mm512_store_si512(texts.text[2 * k], text);
    }
    return static_cast<unsigned>(static_cast<std::uint8_t>(~laid));
}

}  // namespace wrenfield::reading::avx512
