// Centiles for many records at once. Each record's integral keeps its own
// order of summation (slice 1 to 1001, s = s + f × h), but several records run
// side by side in the lanes of the processor's vector unit, with a vector
// exponential. The instruction set is chosen when the program runs.
//
// Every centile agrees with the one-record method (computeCentile) to well
// within 1e-9 percentage points; the only difference is the exponential's last
// bit. A record whose values leave the usual range (a non-finite input or
// intermediate value, an enormous deviation) is handed to the one-record
// method, so its result or its run-time error is exactly that method's.
#pragma once

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
    Portable,  // one lane, the C library's exponential: any processor
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

// The result of one record: the centile in percent, or the run-time error the
// one-record method raises for it (then `centile` is 0).
struct BatchOutcome {
    double centile = 0;
    std::optional<ErrorNumber> error;
};

// Computes every record; `outcomes` has the size of `records`. Missing inputs
// are the caller's business: every record here has all seven numbers.
void computeCentiles(std::span<const BatchRecord> records, std::span<BatchOutcome> outcomes);
void computeCentiles(std::span<const BatchRecord> records, std::span<BatchOutcome> outcomes, SimdLevel level);

// The integral alone: centiles[k] = centileFromZ(z[k]) to within the
// exponential's last bit, for deviations the kernel accepts (finite, |z| at
// most kLaneDeviationLimit). Exposed for the benchmarks and tests.
void integrateCentiles(std::span<const double> z, std::span<double> centiles, SimdLevel level);

// Deviations larger than this go to the one-record method: far beyond it the
// square of a slice midpoint overflows, which that method reports.
inline constexpr double kLaneDeviationLimit = 1e150;

}  // namespace wrenfield::engine
