// The deviations of records four at a time in the lanes of AVX2: compiled
// for it alone (without FMA, so that no multiplication and addition are
// fused), run only where the processor has it. The steps and their order are
// those of the AVX-512 lanes, four lanes at a time.
#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "engine/lane_deviation.h"

namespace wrenfield::engine::lanes {

namespace {

// Records lie 64 bytes apart, their population in the first word and their
// seven inputs in the next seven (batch_kernel.h): four records' words are
// four rows of a matrix whose columns are the inputs.

// The columns of four rows of four doubles.
void transpose(const double* r0, const double* r1, const double* r2, const double* r3, __m256d columns[4]) noexcept
{
    const __m256d a = _mm256_loadu_pd(r0);
    const __m256d b = _mm256_loadu_pd(r1);
    const __m256d c = _mm256_loadu_pd(r2);
    const __m256d d = _mm256_loadu_pd(r3);
    const __m256d abEven = _mm256_unpacklo_pd(a, b);  // a0 b0 a2 b2
    const __m256d abOdd = _mm256_unpackhi_pd(a, b);   // a1 b1 a3 b3
    const __m256d cdEven = _mm256_unpacklo_pd(c, d);
    const __m256d cdOdd = _mm256_unpackhi_pd(c, d);
    columns[0] = _mm256_permute2f128_pd(abEven, cdEven, 0x20);
    columns[1] = _mm256_permute2f128_pd(abOdd, cdOdd, 0x20);
    columns[2] = _mm256_permute2f128_pd(abEven, cdEven, 0x31);
    columns[3] = _mm256_permute2f128_pd(abOdd, cdOdd, 0x31);
}

// All ones in the lanes where the value is finite (x × 0 is 0 for them, NaN for the others).
__m256d finite(__m256d x) noexcept
{
    const __m256d zero = _mm256_setzero_pd();
    return _mm256_cmp_pd(_mm256_mul_pd(x, zero), zero, _CMP_EQ_OQ);
}

// A population's lane of a table of eight: the two 32-bit halves of
// element p mod 4 of each half of the table, chosen by whether p is 4 or more.
struct PopulationLookup {
    __m256i halves;
    __m256d upper;

    explicit PopulationLookup(__m256i population) noexcept
    {
        const __m256i twice = _mm256_slli_epi64(_mm256_and_si256(population, _mm256_set1_epi64x(3)), 1);
        halves = _mm256_or_si256(twice, _mm256_slli_epi64(_mm256_add_epi64(twice, _mm256_set1_epi64x(1)), 32));
        upper = _mm256_castsi256_pd(_mm256_cmpgt_epi64(population, _mm256_set1_epi64x(3)));
    }

    __m256d operator()(const DeviationTables::Lanes& lanes) const noexcept
    {
        const __m256i low = _mm256_castpd_si256(_mm256_load_pd(lanes.data()));
        const __m256i high = _mm256_castpd_si256(_mm256_load_pd(lanes.data() + 4));
        return _mm256_blendv_pd(_mm256_castsi256_pd(_mm256_permutevar8x32_epi32(low, halves)),
                                _mm256_castsi256_pd(_mm256_permutevar8x32_epi32(high, halves)), upper);
    }
};

// The code term of each lane in `use` whose code is a whole number in the
// table, looked up at population × kCodeTableSize + code; `found` tells
// which (all ones in its lanes).
__m256d codeTerm(__m256d use, __m256d code, __m128i row, const double* table, __m256d& found) noexcept
{
    const __m256d whole = _mm256_round_pd(code, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    found = _mm256_and_pd(
        _mm256_and_pd(use, _mm256_cmp_pd(code, whole, _CMP_EQ_OQ)),
        _mm256_and_pd(_mm256_cmp_pd(code, _mm256_setzero_pd(), _CMP_GE_OQ),
                      _mm256_cmp_pd(code, _mm256_set1_pd(static_cast<double>(kCodeTableSize)), _CMP_LT_OQ)));
    const __m128i at = _mm_add_epi32(row, _mm256_cvttpd_epi32(_mm256_and_pd(code, found)));
    return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), table, at, found, 8);
}

// Four records from `words` (the lanes beyond `count` hold what is there),
// their values stored from lane `first` of `out` on. Returns the mask of the
// records taken, of the first `count`.
unsigned fourDeviations(const double* words, unsigned count, const DeviationTables& tables, DeviationLanes& out,
                        unsigned first) noexcept
{
    __m256d low[4];
    __m256d high[4];
    transpose(words, words + 8, words + 16, words + 24, low);
    transpose(words + 4, words + 12, words + 20, words + 28, high);
    // The population, in the first byte of a record's first word.
    const __m256i population = _mm256_and_si256(_mm256_castpd_si256(low[0]), _mm256_set1_epi64x(0xFF));
    const __m256d bwt = low[1];
    const __m256d gestDays = low[2];
    const __m256d wt = low[3];
    const __m256d ht = high[0];
    const __m256d sex = high[1];
    const __m256d eth = high[2];
    const __m256d par = high[3];
    const __m256d present =
        _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(count), _mm256_set_epi64x(3, 2, 1, 0)));
    __m256d taken = _mm256_and_pd(present, _mm256_and_pd(finite(bwt), finite(gestDays)));
    taken = _mm256_and_pd(taken, _mm256_and_pd(finite(wt), finite(ht)));
    taken = _mm256_and_pd(taken, _mm256_and_pd(finite(sex), _mm256_and_pd(finite(eth), finite(par))));

    const PopulationLookup coefficient(population);
    const __m256d w = _mm256_sub_pd(wt, coefficient(tables.weightCentre));
    const __m256d h = _mm256_sub_pd(ht, coefficient(tables.heightCentre));
    const __m256d heightLinear = coefficient(tables.heightLinear);
    const __m256d heightCube = coefficient(tables.heightCube);
    // The height term in each of the three forms, then each lane's own.
    const __m256d linear = _mm256_mul_pd(heightLinear, h);
    const __m256d negatedCube = _mm256_xor_pd(heightCube, _mm256_set1_pd(-0.0));
    const __m256d minusCubeB = _mm256_mul_pd(h, negatedCube);
    const __m256d linearMinusCube =
        _mm256_sub_pd(_mm256_mul_pd(h, heightLinear), _mm256_mul_pd(h, _mm256_mul_pd(h, minusCubeB)));
    const __m256d nestedCube =
        _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(heightCube, _mm256_mul_pd(h, h)), heightLinear), h);
    const __m256d form = coefficient(tables.heightForm);
    __m256d heightPart = linear;
    heightPart = _mm256_blendv_pd(
        heightPart, linearMinusCube,
        _mm256_cmp_pd(form, _mm256_set1_pd(static_cast<double>(HeightForm::LinearMinusCube)), _CMP_EQ_OQ));
    heightPart =
        _mm256_blendv_pd(heightPart, nestedCube,
                         _mm256_cmp_pd(form, _mm256_set1_pd(static_cast<double>(HeightForm::NestedCube)), _CMP_EQ_OQ));
    const __m256d sexPart = _mm256_blendv_pd(coefficient(tables.sexOther), coefficient(tables.sexMale),
                                             _mm256_cmp_pd(sex, _mm256_set1_pd(1), _CMP_EQ_OQ));
    // Each lane's first row of the code tables: population × kCodeTableSize.
    static_assert(kCodeTableSize == 64);
    const __m128i row = _mm256_castsi256_si128(
        _mm256_permutevar8x32_epi32(_mm256_slli_epi64(population, 6), _mm256_set_epi32(7, 5, 3, 1, 6, 4, 2, 0)));
    __m256d ethnicFound;
    __m256d parityFound;
    const __m256d ethnicPart = codeTerm(taken, eth, row, tables.ethnic.data(), ethnicFound);
    const __m256d parityPart = codeTerm(taken, par, row, tables.parity.data(), parityFound);
    taken = _mm256_and_pd(taken, _mm256_and_pd(ethnicFound, parityFound));

    // ((cube × w + square) × w + linear) × w
    const __m256d weightPart =
        _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(coefficient(tables.weightCube), w),
                                                                coefficient(tables.weightSquare)),
                                                  w),
                                    coefficient(tables.weightLinear)),
                      w);
    // Weight term, constant, height, sex, ethnic, parity, in that order.
    __m256d tw = _mm256_add_pd(weightPart, coefficient(tables.constant));
    tw = _mm256_add_pd(tw, heightPart);
    tw = _mm256_add_pd(tw, sexPart);
    tw = _mm256_add_pd(tw, ethnicPart);
    tw = _mm256_add_pd(tw, parityPart);
    taken = _mm256_and_pd(taken, finite(tw));
    const __m256d lower = _mm256_set1_pd(kTermWeightLowerClamp);
    const __m256d upper = _mm256_set1_pd(kTermWeightUpperClamp);
    tw = _mm256_blendv_pd(tw, lower, _mm256_cmp_pd(tw, lower, _CMP_LT_OQ));
    tw = _mm256_blendv_pd(tw, upper, _mm256_cmp_pd(tw, upper, _CMP_GT_OQ));

    const __m256d g = _mm256_div_pd(gestDays, _mm256_set1_pd(7));
    // ((c3 × g + c2) × g + c1) × g + c0
    const __m256d p = _mm256_add_pd(
        _mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(kProportionC3), g),
                                                                _mm256_set1_pd(kProportionC2)),
                                                  g),
                                    _mm256_set1_pd(kProportionC1)),
                      g),
        _mm256_set1_pd(kProportionC0));
    const __m256d e = _mm256_mul_pd(p, tw);
    const __m256d s = _mm256_mul_pd(e, coefficient(tables.coefficientOfVariation));
    const __m256d z = _mm256_div_pd(_mm256_sub_pd(bwt, e), s);
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), z);
    taken = _mm256_and_pd(taken, _mm256_cmp_pd(magnitude, _mm256_set1_pd(kLaneDeviationLimit), _CMP_LE_OQ));

    _mm256_store_pd(out.termWeight + first, tw);
    _mm256_store_pd(out.weeks + first, g);
    _mm256_store_pd(out.proportion + first, p);
    _mm256_store_pd(out.expected + first, e);
    _mm256_store_pd(out.spread + first, s);
    _mm256_store_pd(out.z + first, z);
    return static_cast<unsigned>(_mm256_movemask_pd(taken));
}

}  // namespace

unsigned deviationsAvx2(const BatchRecord* records, unsigned count, const DeviationTables& tables,
                        DeviationLanes& out) noexcept
{
    // A last group of fewer than four is read from a copy, zeros after it:
    // nothing past the last record is read.
    auto four = [&](const BatchRecord* from, unsigned inGroup, unsigned first) {
        if (inGroup >= 4)
            return fourDeviations(reinterpret_cast<const double*>(from), 4, tables, out, first);
        BatchRecord padded[4] = {};
        std::memcpy(padded, from, inGroup * sizeof(BatchRecord));
        return fourDeviations(reinterpret_cast<const double*>(padded), inGroup, tables, out, first);
    };
    unsigned taken = four(records, count, 0);
    if (count > 4)
        taken |= four(records + 4, count - 4, 4) << 4;
    return taken;
}

}  // namespace wrenfield::engine::lanes
