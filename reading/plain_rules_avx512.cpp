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
using engine::CentileInputs;
// The inputs lie in lanes 1 to 7 of a record as it lies in memory.
static_assert(sizeof(BatchRecord) == 64 && offsetof(BatchRecord, inputs) == 8);
static_assert(offsetof(CentileInputs, bwt) == 0 && offsetof(CentileInputs, gestDays) == 8 &&
              offsetof(CentileInputs, wt) == 16 && offsetof(CentileInputs, ht) == 24 &&
              offsetof(CentileInputs, sex) == 32 && offsetof(CentileInputs, eth) == 40 &&
              offsetof(CentileInputs, par) == 48);
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

}  // namespace wrenfield::reading::avx512
