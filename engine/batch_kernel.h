// Centiles for many records at once. The term weight, expected weight and
// deviation of each record are the one-record method's steps in its order;
// the 1001-slice sum of the normal density is then taken in closed form (one
// erf and one exp a record: see batch_integral_lanes.h), several records side
// by side in the lanes of the processor's vector unit. The instruction set is
// chosen when the program runs.
//
// Every centile agrees with the one-record method (computeCentile) to within
// 1e-11 percentage points. A record whose values leave the usual range (a
// non-finite input or intermediate value, a deviation beyond the largest
// integrated one) is handed to the one-record method, so its result or its
// run-time error is exactly that method's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "platform/runtime_error.h"

namespace wrenfield::engine {

// The widths the kernel can run at, narrowest first.
enum class SimdLevel : std::uint8_t {
    Portable,  // one lane, the C library's erf and exp: any processor
    Sse2,      // 2 lanes: every x86-64 processor
    Avx2,      // 4 lanes: AVX2 with FMA
    Avx512,    // 8 lanes: AVX-512 F
};

std::string_view simdLevelName(SimdLevel level);  // "portable", "sse2", "avx2", "avx512"
std::optional<SimdLevel> simdLevelByName(std::string_view name);
// Whether this processor (and its operating system) runs the level.
bool simdLevelSupported(SimdLevel level);
// Every level this processor runs, narrowest first.
std::vector<SimdLevel> supportedSimdLevels();
// The widest level this processor runs.
SimdLevel bestSimdLevel();

struct BatchRecord {
    Population population = Population::UnitedKingdom;
    CentileInputs inputs;
};

#if defined(WRENFIELD_X86_64_LANES)
// The vector lanes read records as they lie in memory: 64 bytes a record,
// its population in the first word and its seven inputs, in the order the
// methods take them, in the next seven.
static_assert(sizeof(BatchRecord) == 64 && offsetof(BatchRecord, inputs) == 8);
static_assert(offsetof(CentileInputs, bwt) == 0 && offsetof(CentileInputs, gestDays) == 8 &&
              offsetof(CentileInputs, wt) == 16 && offsetof(CentileInputs, ht) == 24 &&
              offsetof(CentileInputs, sex) == 32 && offsetof(CentileInputs, eth) == 40 &&
              offsetof(CentileInputs, par) == 48);
#endif

// The result of one record: the centile in percent, or the run-time error the
// one-record method raises for it (then `centile` is 0). `detail` holds the
// values around the centile (term weight, weeks, proportion, expected weight,
// spread, deviation; its centile is `centile`), each the very double the
// one-record method gives: the lanes take the method's steps in its order.
struct BatchOutcome {
    double centile = 0;
    std::optional<ErrorNumber> error;
    CentileDetail detail;
};

// Computes every record; `outcomes` has the size of `records`. Missing inputs
// are the caller's business: every record here has all seven numbers.
void computeCentiles(std::span<const BatchRecord> records, std::span<BatchOutcome> outcomes);
void computeCentiles(std::span<const BatchRecord> records, std::span<BatchOutcome> outcomes, SimdLevel level);

// The integral alone: centiles[k] = centileFromZ(z[k]) to within 1e-11
// percentage points, for every finite z (a larger |z| than the largest
// integrated deviation is taken as that one, as the one-record method takes
// it). Exposed for the benchmarks and tests.
void integrateCentiles(std::span<const double> z, std::span<double> centiles, SimdLevel level);

// Deviations larger than this go to the one-record method, which checks
// whether its full-width slices overflow before it limits them.
inline constexpr double kLaneDeviationLimit = kLargestIntegratedDeviation;

}  // namespace wrenfield::engine
