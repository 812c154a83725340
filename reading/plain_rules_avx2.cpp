// The sure test of no flag, the decision points and the bands with AVX2:
// compiled with -mavx2, run only where the processor has it and not AVX-512
// (markSurelyUnflagged, markNearDecisionPoints and bandsOf decide). A
// record's population and seven inputs fill two registers of four lanes; the
// centiles are taken four at a time. Each step is the portable loop's own
// operation on the same doubles, so the answer is the same for every value,
// NaN and infinities included.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "reading/plain_rules.h"

namespace wrenfield::reading::avx2 {

namespace {
using engine::BatchRecord;
// The inputs lie in lanes 1 to 7 of a record as it lies in memory (batch_kernel.h).
constexpr int kFirstInputs = 0xE;  // lanes 1 to 3 of the first register: bwt, gest, wt
constexpr int kLastInputs = 0xF;   // every lane of the second: ht, sex, eth, par

// The bits of a mask of four lanes as four bytes of 0 or 1, lane 0 first.
constexpr std::uint32_t kLaneBytes[16] = {0x00000000, 0x00000001, 0x00000100, 0x00000101, 0x00010000, 0x00010001,
                                          0x00010100, 0x00010101, 0x01000000, 0x01000001, 0x01000100, 0x01000101,
                                          0x01010000, 0x01010001, 0x01010100, 0x01010101};

int lanesOf(__m256d comparison) noexcept
{
    return _mm256_movemask_pd(comparison);
}

// Four centiles from k on (n in all); the lanes after the last hold 50,
// which every test answers for without effect, and are not stored.
__m256d fourCentiles(std::span<const double> centiles, std::size_t k) noexcept
{
    const std::size_t n = centiles.size();
    if (n - k >= 4)
        return _mm256_loadu_pd(centiles.data() + k);
    double four[4] = {50, 50, 50, 50};
    std::memcpy(four, centiles.data() + k, (n - k) * sizeof(double));
    return _mm256_loadu_pd(four);
}

// Stores the four bytes of `bytes` from k on, as many as there are centiles.
void storeFour(std::uint8_t* to, std::size_t k, std::size_t n, std::uint32_t bytes) noexcept
{
    std::memcpy(to + k, &bytes, n - k >= 4 ? 4 : n - k);
}

__m256d magnitude(__m256d x) noexcept
{
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x);
}
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
        const auto* const words = reinterpret_cast<const double*>(&record);
        const __m256d first = _mm256_loadu_pd(words);
        const __m256d last = _mm256_loadu_pd(words + 4);
        const double* const low = bounds.low[population];
        const double* const high = bounds.high[population];
        const int firstWithin = lanesOf(_mm256_cmp_pd(first, _mm256_load_pd(low), _CMP_GE_OQ)) &
            lanesOf(_mm256_cmp_pd(first, _mm256_load_pd(high), _CMP_LE_OQ));
        const int lastWithin = lanesOf(_mm256_cmp_pd(last, _mm256_load_pd(low + 4), _CMP_GE_OQ)) &
            lanesOf(_mm256_cmp_pd(last, _mm256_load_pd(high + 4), _CMP_LE_OQ));
        const __m256d wholeParts = _mm256_round_pd(last, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        const int whole = lanesOf(_mm256_cmp_pd(wholeParts, last, _CMP_EQ_OQ)) << 4;
        bool sure = (firstWithin & kFirstInputs) == kFirstInputs && lastWithin == kLastInputs;
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

// The portable loop's steps, lane by lane.
void markNearDecisionPoints(std::span<const double> centiles, const BandThresholds& t,
                            std::span<std::uint8_t> near) noexcept
{
    const __m256d distance = _mm256_set1_pd(kBandRecomputeDistance);
    const __m256d twentiethsDistance = _mm256_set1_pd(20 * kBandRecomputeDistance);
    const __m256d points[] = {_mm256_set1_pd(t.verySmall), _mm256_set1_pd(t.sga), _mm256_set1_pd(t.lga),
                              _mm256_set1_pd(t.veryLarge), _mm256_setzero_pd(),   _mm256_set1_pd(100)};
    const std::size_t n = centiles.size();
    for (std::size_t k = 0; k < n; k += 4) {
        const __m256d centile = fourCentiles(centiles, k);
        const __m256d twentieths = _mm256_mul_pd(centile, _mm256_set1_pd(20));
        const __m256d rounded = _mm256_add_pd(twentieths, _mm256_set1_pd(0.5));
        const __m256d counted = _mm256_and_pd(_mm256_cmp_pd(rounded, _mm256_setzero_pd(), _CMP_GE_OQ),
                                              _mm256_cmp_pd(rounded, _mm256_set1_pd(4000), _CMP_LE_OQ));
        // A count outside is held at 0, as the portable loop holds it.
        const __m256d nearest =
            _mm256_round_pd(_mm256_and_pd(rounded, counted), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        int close =
            lanesOf(_mm256_cmp_pd(magnitude(_mm256_sub_pd(twentieths, nearest)), twentiethsDistance, _CMP_LE_OQ));
        for (const __m256d& point : points)
            close |= lanesOf(_mm256_cmp_pd(magnitude(_mm256_sub_pd(centile, point)), distance, _CMP_LE_OQ));
        storeFour(near.data(), k, n, kLaneBytes[close]);
    }
}

void bandsOfOrdered(std::span<const double> centiles, const BandThresholds& t, std::span<Band> bands) noexcept
{
    static_assert(sizeof(Band) == 1 && static_cast<int>(Band::Appropriate) == 2);
    const std::size_t n = centiles.size();
    for (std::size_t k = 0; k < n; k += 4) {
        const __m256d centile = fourCentiles(centiles, k);
        auto below = [&](double threshold) {
            return kLaneBytes[lanesOf(_mm256_cmp_pd(centile, _mm256_set1_pd(threshold), _CMP_LT_OQ))];
        };
        auto above = [&](double threshold) {
            return kLaneBytes[lanesOf(_mm256_cmp_pd(centile, _mm256_set1_pd(threshold), _CMP_GT_OQ))];
        };
        // Each byte from 0 to 4: no byte borrows from the next.
        const std::uint32_t band = 0x02020202 + above(t.lga) + above(t.veryLarge) - below(t.sga) - below(t.verySmall);
        storeFour(reinterpret_cast<std::uint8_t*>(bands.data()), k, n, band);
    }
}

}  // namespace wrenfield::reading::avx2
