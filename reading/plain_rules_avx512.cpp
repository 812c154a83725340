// The sure test of no flag with AVX-512 F, a record in one register: compiled
// with -mavx512f, run only where the processor has it (markSurelyUnflagged
// decides). A record's population and seven inputs fill the 64 bytes of one
// register; the inputs are compared with their bounds, and sex, eth and par
// with their whole parts, in one instruction each.
#include <immintrin.h>

#include <cstddef>

#include "reading/plain_rules.h"

namespace wrenfield::reading::avx512 {

namespace {
using engine::BatchRecord;
// The inputs lie in lanes 1 to 7 of a record as it lies in memory (batch_kernel.h).
constexpr __mmask8 kInputLanes = 0xFE;
}  // namespace

void markSurelyUnflagged(const SureTestBounds& bounds, std::span<const BatchRecord> records,
                         std::span<const double> centiles, std::span<std::uint8_t> quiet) noexcept
{
    for (std::size_t k = 0; k < records.size(); ++k) {
        const BatchRecord& record = records[k];
        const auto population = static_cast<std::size_t>(record.population);
        if (population >= engine::kPopulationCount) {
            quiet[k] = 0;
            continue;
        }
        const __m512d values = _mm512_maskz_loadu_pd(kInputLanes, &record);
        const __mmask8 within =
            _mm512_mask_cmp_pd_mask(kInputLanes, values, _mm512_load_pd(bounds.low[population]), _CMP_GE_OQ) &
            _mm512_mask_cmp_pd_mask(kInputLanes, values, _mm512_load_pd(bounds.high[population]), _CMP_LE_OQ);
        const __m512d wholeParts =
            _mm512_maskz_roundscale_pd(kInputLanes, values, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        const __mmask8 whole = _mm512_cmp_pd_mask(wholeParts, values, _CMP_EQ_OQ);
        bool sure = within == kInputLanes;
        sure &= (whole & bounds.wholeLanes) == bounds.wholeLanes;
        // The body mass index well inside its range, without its divisions.
        const double scaledWeight = record.inputs.wt * 10000;
        const double heightSquared = record.inputs.ht * record.inputs.ht;
        sure &= scaledWeight < bounds.indexHighFactor * heightSquared;
        sure &= scaledWeight > bounds.indexLowFactor * heightSquared;
        const double centile = centiles[k];
        sure &= (centile >= bounds.centileLow) & (centile <= bounds.centileHigh);
        quiet[k] = sure;
    }
}

namespace {
// The lanes of the last, shorter step of n centiles from k on.
__mmask8 lanesFrom(std::size_t k, std::size_t n) noexcept
{
    return n - k >= 8 ? __mmask8{0xFF} : static_cast<__mmask8>((1U << (n - k)) - 1);
}

__m512d magnitude(__m512d x) noexcept
{
    return _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(x), _mm512_set1_epi64(0x7FFFFFFFFFFFFFFF)));
}

// Stores lane j's count as byte j at `to`, for the lanes in `lanes`.
void storeBytes(void* to, __mmask8 lanes, __m512i counts) noexcept
{
    _mm512_mask_cvtepi64_storeu_epi8(to, lanes, counts);
}
}  // namespace

// The portable loop's steps, lane by lane: the same operations on the same
// doubles, so the same answer for every value, NaN and infinities included.
void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& t,
                            std::span<std::uint8_t> near) noexcept
{
    const __m512d distance = _mm512_set1_pd(kBandRecomputeDistance);
    const __m512d twentiethsDistance = _mm512_set1_pd(20 * kBandRecomputeDistance);
    const __m512d points[] = {_mm512_set1_pd(t.verySmall), _mm512_set1_pd(t.sga), _mm512_set1_pd(t.lga),
                              _mm512_set1_pd(t.veryLarge), _mm512_setzero_pd(),   _mm512_set1_pd(100)};
    const std::size_t n = centiles.size();
    for (std::size_t k = 0; k < n; k += 8) {
        const __mmask8 lanes = lanesFrom(k, n);
        const __m512d centile = _mm512_maskz_loadu_pd(lanes, centiles.data() + k);
        const __m512d twentieths = _mm512_mul_pd(centile, _mm512_set1_pd(20));
        const __m512d rounded = _mm512_add_pd(twentieths, _mm512_set1_pd(0.5));
        const __mmask8 counted = _mm512_cmp_pd_mask(rounded, _mm512_setzero_pd(), _CMP_GE_OQ) &
            _mm512_cmp_pd_mask(rounded, _mm512_set1_pd(4000), _CMP_LE_OQ);
        const __m512d nearest = _mm512_maskz_roundscale_pd(counted, rounded, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        __mmask8 close =
            _mm512_cmp_pd_mask(magnitude(_mm512_sub_pd(twentieths, nearest)), twentiethsDistance, _CMP_LE_OQ);
        for (const __m512d& point : points)
            close |= _mm512_cmp_pd_mask(magnitude(_mm512_sub_pd(centile, point)), distance, _CMP_LE_OQ);
        storeBytes(near.data() + k, lanes, _mm512_maskz_set1_epi64(close, 1));
    }
}

void bandsOfOrdered(std::span<const double> centiles, const BandThresholds& t, std::span<Band> bands) noexcept
{
    static_assert(sizeof(Band) == 1);
    const __m512i one = _mm512_set1_epi64(1);
    const std::size_t n = centiles.size();
    for (std::size_t k = 0; k < n; k += 8) {
        const __mmask8 lanes = lanesFrom(k, n);
        const __m512d centile = _mm512_maskz_loadu_pd(lanes, centiles.data() + k);
        __m512i band = _mm512_set1_epi64(static_cast<long long>(Band::Appropriate));
        band = _mm512_mask_sub_epi64(band, _mm512_cmp_pd_mask(centile, _mm512_set1_pd(t.sga), _CMP_LT_OQ), band, one);
        band = _mm512_mask_sub_epi64(band, _mm512_cmp_pd_mask(centile, _mm512_set1_pd(t.verySmall), _CMP_LT_OQ), band,
                                     one);
        band = _mm512_mask_add_epi64(band, _mm512_cmp_pd_mask(centile, _mm512_set1_pd(t.lga), _CMP_GT_OQ), band, one);
        band = _mm512_mask_add_epi64(band, _mm512_cmp_pd_mask(centile, _mm512_set1_pd(t.veryLarge), _CMP_GT_OQ), band,
                                     one);
        storeBytes(bands.data() + k, lanes, band);
    }
}

}  // namespace wrenfield::reading::avx512
