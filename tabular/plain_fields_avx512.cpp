// The whole-line reading of a plain line's fields with AVX-512: compiled for
// AVX-512 F, BW, DQ, VBMI and VBMI2 with BMI 1 and 2, run only where the
// processor has them (plainFieldShape decides).
//
// The line's 64 bytes are read at once and classed by masks: digits,
// points, delimiters, the line's end. The input fields are checked as plain
// decimals (digits, at most one point with a digit on each side), the points
// are squeezed out, and each input's digits are set right-aligned into a
// lane of eight bytes of its own (the lanes in kInputColumns order), the
// digits after its point marked in their top bit. A lane's eight digits are
// then one whole number in three multiply-adds, made a double exactly and
// divided by the power of ten its marked digits count: the very division
// scanPlainDecimal makes, so the value is the same double.
#include <immintrin.h>

#include <bit>
#include <cstddef>

#include "tabular/plain_fields.h"

namespace wrenfield::tabular::avx512 {

namespace {
using engine::CentileInputs;
// The seven inputs are stored as the first seven lanes of a vector (they lie
// in kInputColumns order: batch_kernel.h).
constexpr __mmask8 kInputLanes = 0x7F;
constexpr __mmask8 kMeasurementLanes = 0x0F;  // bwt, gest, wt, ht
constexpr char kMostDigits = 8;               // in a lane
constexpr std::uint64_t kAll = ~std::uint64_t{0};
// GCC 12 warns that the unmasked forms of some instructions may use an
// unset register: the masked forms with every lane are used instead.
constexpr __mmask8 kEvery = 0xFF;

std::uint64_t below(unsigned bit) noexcept
{
    return _bzhi_u64(kAll, bit);
}
}  // namespace

const char* scanLineFields(const PlainFieldShape& shape, const char* const line, const char* const end,
                           CentileInputs& inputs, std::string_view& population) noexcept
{
    const auto left = static_cast<std::size_t>(end - line);
    // Bytes at or beyond the end are not read (a masked load does not touch them) and read as 0.
    const __m512i text = left >= 64 ? _mm512_loadu_si512(line) : _mm512_maskz_loadu_epi8(below(left), line);
    const std::uint64_t feeds = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('\n'));
    unsigned length;  // of the line's fields, without its break
    if (feeds != 0)
        length = static_cast<unsigned>(std::countr_zero(feeds));
    else if (left < 64)
        length = static_cast<unsigned>(left);
    else
        return nullptr;  // a line of 64 bytes or more
    const std::uint64_t returns = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('\r')) & below(length);
    if (returns != 0) {
        // CR LF ends a line; any other carriage return is the byte reading's to judge.
        if (feeds == 0 || returns != std::uint64_t{1} << (length - 1))
            return nullptr;
        --length;
    }
    const std::uint64_t within = below(length);
    const std::uint64_t delimiters = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8(shape.delimiter)) & within;
    const std::size_t width = shape.roles.size();
    if (static_cast<std::size_t>(std::popcount(delimiters)) + 1 != width)
        return nullptr;
    const std::uint64_t ends = delimiters | std::uint64_t{1} << length;  // where each field ends
    const std::uint64_t digits =
        _mm512_cmplt_epu8_mask(_mm512_sub_epi8(text, _mm512_set1_epi8('0')), _mm512_set1_epi8(10));
    const std::uint64_t allPoints = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('.'));

    // The input fields' bytes: each field's start marked where its kind
    // (input or not) differs from the field before's, the marks then run on
    // to the next (an exclusive-or of every bit below). The population's
    // text lies from its field's start to its end.
    // Where every field is an input, that is every byte but the delimiters.
    const std::uint64_t starts = delimiters << 1 | 1;
    std::uint64_t runs = within;
    if (!shape.onlyInputs) {
        runs = _pdep_u64(shape.inputChanges, starts);
        for (const int shift : {1, 2, 4, 8, 16, 32})
            runs ^= runs << shift;
    }
    const std::uint64_t numeric = runs & within & ~delimiters;
    if (shape.populationField != PlainFieldShape::kNoField) {
        const std::uint64_t field = std::uint64_t{1} << shape.populationField;
        const auto first = static_cast<std::size_t>(std::countr_zero(_pdep_u64(field, starts)));
        const auto last = static_cast<std::size_t>(std::countr_zero(_pdep_u64(field, ends)));
        population = {line + first, last - first};
    }
    // Digits and points only, a digit on each side of every point, and no
    // two points in a field: those lie within another point's fraction
    // (each point's fraction runs from it to its field's end).
    const std::uint64_t points = allPoints & numeric;
    if ((numeric & ~(digits | points)) != 0 || (points & ~(digits << 1)) != 0 || (points & ~(digits >> 1)) != 0)
        return nullptr;
    const std::uint64_t fraction = (ends - (points << 1)) & ~ends;
    if ((fraction & points) != 0)
        return nullptr;

    // The points squeezed out, the fraction's digits marked.
    const __m512i marked = _mm512_mask_blend_epi8(fraction, text, _mm512_or_si512(text, _mm512_set1_epi8(-128)));
    const __m512i packed = _mm512_maskz_compress_epi8(~points, marked);
    const __m512i counting =
        _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40,
                        39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16,
                        15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    // Byte f: where field f ends in the squeezed text.
    const __m512i stops = _mm512_maskz_compress_epi8(_pext_u64(ends, ~points), counting);

    // Each input's lane: its digits right-aligned, zeros before them.
    const __m512i field = _mm512_load_si512(shape.laneField.data());
    const __m512i fieldBefore = _mm512_load_si512(shape.laneFieldBefore.data());
    const __m512i stop = _mm512_maskz_permutexvar_epi8(kAll, field, stops);
    const __m512i before =
        _mm512_mask_permutexvar_epi8(_mm512_set1_epi8(-1), ~_mm512_movepi8_mask(fieldBefore), fieldBefore, stops);
    const __m512i fromEighthBefore =
        _mm512_set_epi8(-1, -2, -3, -4, -5, -6, -7, -8, -1, -2, -3, -4, -5, -6, -7, -8, -1, -2, -3, -4, -5, -6, -7, -8,
                        -1, -2, -3, -4, -5, -6, -7, -8, -1, -2, -3, -4, -5, -6, -7, -8, -1, -2, -3, -4, -5, -6, -7, -8,
                        -1, -2, -3, -4, -5, -6, -7, -8, -1, -2, -3, -4, -5, -6, -7, -8);
    // One to eight digits an input (a longer one is the byte reading's).
    const __m512i span = _mm512_sub_epi8(stop, before);  // its digits and one
    if ((_mm512_cmplt_epi8_mask(span, _mm512_set1_epi8(2)) |
         _mm512_cmpgt_epi8_mask(span, _mm512_set1_epi8(kMostDigits + 1))) != 0)
        return nullptr;
    const __m512i from = _mm512_add_epi8(stop, fromEighthBefore);
    const __m512i lanes = _mm512_maskz_permutexvar_epi8(_mm512_cmpgt_epi8_mask(from, before), from, packed);

    // Eight digits a lane to one number: pairs, fours, then the eight.
    const __m512i values = _mm512_and_si512(lanes, _mm512_set1_epi8(0x0F));
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi16(0x010A));  // 10 × first + second
    const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010064));  // 100 × first + second
    const __m512i eights = _mm512_add_epi64(_mm512_maskz_mul_epu32(kEvery, fours, _mm512_set1_epi64(10000)),
                                            _mm512_maskz_srli_epi64(kEvery, fours, 32));
    // The digits after the point, counted a lane.
    const __m512i marks = _mm512_maskz_mov_epi8(_mm512_movepi8_mask(lanes), _mm512_set1_epi8(1));
    const __m512i decimals = _mm512_sad_epu8(marks, _mm512_setzero_si512());
    const __m512d powersOfTen = _mm512_set_pd(1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1, 1e0);
    const __m512d read =
        _mm512_div_pd(_mm512_cvtepu64_pd(eights), _mm512_maskz_permutexvar_pd(kEvery, decimals, powersOfTen));
    // A zero among the measurements is the byte reading's (and the rules') to
    // refuse: told from the whole numbers, without waiting for the division.
    if (_mm512_mask_cmpeq_epu64_mask(kMeasurementLanes, eights, _mm512_setzero_si512()) != 0)
        return nullptr;
    _mm512_mask_storeu_pd(&inputs.bwt, kInputLanes, read);
    return line + length;
}

}  // namespace wrenfield::tabular::avx512
