// The deviations of eight records in the lanes of AVX-512 F: compiled for it
// alone, run only where the processor has it.
#include <immintrin.h>

#include <cstddef>

#include "engine/lane_deviation.h"

namespace wrenfield::engine::lanes {

namespace {

// Records lie 64 bytes apart, their seven inputs from byte 8 on
// (batch_kernel.h), so the lanes gather one input of eight records with one
// instruction.
// GCC 12 warns that the unmasked forms of some instructions may use an
// unset register: the masked forms with every lane are used instead.
constexpr __mmask8 kEvery = 0xFF;

// Lanes whose value is finite (x × 0 is 0 for them, NaN for the others).
__mmask8 finite(__m512d x) noexcept
{
    const __m512d zero = _mm512_setzero_pd();
    return _mm512_cmp_pd_mask(_mm512_mul_pd(x, zero), zero, _CMP_EQ_OQ);
}

// The population's coefficient in each lane.
__m512d coefficient(__m512i population, const DeviationTables::Lanes& lanes) noexcept
{
    return _mm512_maskz_permutexvar_pd(kEvery, population, _mm512_load_pd(lanes.data()));
}

// The code term of each lane in `use` whose code is a whole number in the
// table, looked up at population × kCodeTableSize + code; `found` tells
// which.
__m512d codeTerm(__mmask8 use, __m512d code, __m512i population, const double* table, __mmask8& found) noexcept
{
    const __m512d whole = _mm512_maskz_roundscale_pd(kEvery, code, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    found = _mm512_mask_cmp_pd_mask(use, code, whole, _CMP_EQ_OQ) &
        _mm512_cmp_pd_mask(code, _mm512_setzero_pd(), _CMP_GE_OQ) &
        _mm512_cmp_pd_mask(code, _mm512_set1_pd(static_cast<double>(kCodeTableSize)), _CMP_LT_OQ);
    const __m256i row = _mm512_maskz_cvtepi64_epi32(kEvery, _mm512_maskz_slli_epi64(kEvery, population, 6));
    static_assert(kCodeTableSize == 64);
    const __m256i at = _mm256_add_epi32(row, _mm512_maskz_cvttpd_epi32(found, code));
    return _mm512_mask_i32gather_pd(_mm512_setzero_pd(), found, at, table, 8);
}

}  // namespace

unsigned deviationsAvx512(const BatchRecord* records, unsigned count, const DeviationTables& tables,
                          DeviationLanes& out) noexcept
{
    const __mmask8 present = static_cast<__mmask8>((1u << count) - 1);
    // One record every 64 bytes (eight doubles).
    const __m256i stride = _mm256_set_epi32(56, 48, 40, 32, 24, 16, 8, 0);
    const auto* const first = reinterpret_cast<const double*>(records);
    const __m512d zero = _mm512_setzero_pd();
    auto input = [&](std::size_t word) { return _mm512_mask_i32gather_pd(zero, present, stride, first + word, 8); };
    // The population, in the first byte of a record's first word.
    const __m512i population = _mm512_maskz_and_epi64(kEvery, _mm512_castpd_si512(input(0)), _mm512_set1_epi64(0xFF));
    const __m512d bwt = input(1);
    const __m512d gestDays = input(2);
    const __m512d wt = input(3);
    const __m512d ht = input(4);
    const __m512d sex = input(5);
    const __m512d eth = input(6);
    const __m512d par = input(7);
    __mmask8 taken =
        present & finite(bwt) & finite(gestDays) & finite(wt) & finite(ht) & finite(sex) & finite(eth) & finite(par);

    const __m512d w = _mm512_sub_pd(wt, coefficient(population, tables.weightCentre));
    const __m512d h = _mm512_sub_pd(ht, coefficient(population, tables.heightCentre));
    const __m512d heightLinear = coefficient(population, tables.heightLinear);
    const __m512d heightCube = coefficient(population, tables.heightCube);
    // The height term in each of the three forms, then each lane's own.
    const __m512d linear = _mm512_mul_pd(heightLinear, h);
    const __m512d negatedCube = _mm512_castsi512_pd(_mm512_maskz_xor_epi64(
        kEvery, _mm512_castpd_si512(heightCube), _mm512_set1_epi64(static_cast<long long>(0x8000000000000000ULL))));
    const __m512d minusCubeB = _mm512_mul_pd(h, negatedCube);
    const __m512d linearMinusCube =
        _mm512_sub_pd(_mm512_mul_pd(h, heightLinear), _mm512_mul_pd(h, _mm512_mul_pd(h, minusCubeB)));
    const __m512d nestedCube =
        _mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(heightCube, _mm512_mul_pd(h, h)), heightLinear), h);
    const __m512d form = coefficient(population, tables.heightForm);
    __m512d heightPart = linear;
    heightPart = _mm512_mask_mov_pd(
        heightPart,
        _mm512_cmp_pd_mask(form, _mm512_set1_pd(static_cast<double>(HeightForm::LinearMinusCube)), _CMP_EQ_OQ),
        linearMinusCube);
    heightPart = _mm512_mask_mov_pd(
        heightPart, _mm512_cmp_pd_mask(form, _mm512_set1_pd(static_cast<double>(HeightForm::NestedCube)), _CMP_EQ_OQ),
        nestedCube);
    const __m512d sexPart = _mm512_mask_mov_pd(coefficient(population, tables.sexOther),
                                               _mm512_cmp_pd_mask(sex, _mm512_set1_pd(1), _CMP_EQ_OQ),
                                               coefficient(population, tables.sexMale));
    __mmask8 ethnicFound = 0;
    __mmask8 parityFound = 0;
    const __m512d ethnicPart = codeTerm(taken, eth, population, tables.ethnic.data(), ethnicFound);
    const __m512d parityPart = codeTerm(taken, par, population, tables.parity.data(), parityFound);
    taken &= ethnicFound & parityFound;

    // ((cube × w + square) × w + linear) × w
    const __m512d weightPart = _mm512_mul_pd(
        _mm512_add_pd(_mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(coefficient(population, tables.weightCube), w),
                                                  coefficient(population, tables.weightSquare)),
                                    w),
                      coefficient(population, tables.weightLinear)),
        w);
    // Weight term, constant, height, sex, ethnic, parity, in that order.
    __m512d tw = _mm512_add_pd(weightPart, coefficient(population, tables.constant));
    tw = _mm512_add_pd(tw, heightPart);
    tw = _mm512_add_pd(tw, sexPart);
    tw = _mm512_add_pd(tw, ethnicPart);
    tw = _mm512_add_pd(tw, parityPart);
    taken &= finite(tw);
    const __m512d lower = _mm512_set1_pd(kTermWeightLowerClamp);
    const __m512d upper = _mm512_set1_pd(kTermWeightUpperClamp);
    tw = _mm512_mask_mov_pd(tw, _mm512_cmp_pd_mask(tw, lower, _CMP_LT_OQ), lower);
    tw = _mm512_mask_mov_pd(tw, _mm512_cmp_pd_mask(tw, upper, _CMP_GT_OQ), upper);

    const __m512d g = _mm512_div_pd(gestDays, _mm512_set1_pd(7));
    // ((c3 × g + c2) × g + c1) × g + c0
    const __m512d p = _mm512_add_pd(
        _mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(_mm512_add_pd(_mm512_mul_pd(_mm512_set1_pd(kProportionC3), g),
                                                                _mm512_set1_pd(kProportionC2)),
                                                  g),
                                    _mm512_set1_pd(kProportionC1)),
                      g),
        _mm512_set1_pd(kProportionC0));
    const __m512d e = _mm512_mul_pd(p, tw);
    const __m512d s = _mm512_mul_pd(e, coefficient(population, tables.coefficientOfVariation));
    const __m512d z = _mm512_div_pd(_mm512_sub_pd(bwt, e), s);
    const __m512d magnitude = _mm512_castsi512_pd(
        _mm512_maskz_and_epi64(kEvery, _mm512_castpd_si512(z), _mm512_set1_epi64(0x7FFFFFFFFFFFFFFF)));
    taken &= _mm512_cmp_pd_mask(magnitude, _mm512_set1_pd(kLaneDeviationLimit), _CMP_LE_OQ);

    _mm512_store_pd(out.termWeight, tw);
    _mm512_store_pd(out.weeks, g);
    _mm512_store_pd(out.proportion, p);
    _mm512_store_pd(out.expected, e);
    _mm512_store_pd(out.spread, s);
    _mm512_store_pd(out.z, z);
    return taken;
}

}  // namespace wrenfield::engine::lanes
