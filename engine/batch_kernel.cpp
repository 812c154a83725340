#include "engine/batch_kernel.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/batch_integral.h"
#include "engine/batch_integral_lanes.h"
#include "engine/model_formulas.h"

namespace wrenfield::engine {

namespace lanes {

namespace {
double exponential(double x) { return std::exp(x); }
}  // namespace

void integratePortable(const double* z, double* centiles, std::size_t count)
{
    integrateLanes<double, exponential>(z, centiles, count);
}

}  // namespace lanes

namespace {

using IntegrateFunction = void (*)(const double*, double*, std::size_t);

IntegrateFunction integrateFunction(SimdLevel level)
{
    if (!simdLevelSupported(level))
        throw std::invalid_argument("this processor does not run the " + std::string(simdLevelName(level)) +
                                    " centile kernel");
    switch (level) {
#if defined(WRENFIELD_X86_64_LANES)
    case SimdLevel::Sse2:
        return lanes::integrateSse2;
    case SimdLevel::Avx2:
        return lanes::integrateAvx2;
    case SimdLevel::Avx512:
        return lanes::integrateAvx512;
#endif
    default:
        return lanes::integratePortable;
    }
}

bool allFinite(const CentileInputs& in)
{
    return std::isfinite(in.bwt) && std::isfinite(in.gestDays) && std::isfinite(in.wt) && std::isfinite(in.ht) &&
           std::isfinite(in.sex) && std::isfinite(in.eth) && std::isfinite(in.par);
}

// The deviation z of one record, by the one-record method's steps in its
// order, without a check after each step. Returns false when the record needs
// the one-record method to decide: a non-finite input, a term weight that
// overflowed (the clamp would hide it), or a deviation that is not finite or
// too large for the lanes. Any overflow, division by zero or invalid
// operation before z carries through to one of these, since no later step
// multiplies by zero or divides by an infinity.
bool laneDeviation(const CoefficientSet& set, const CentileInputs& in, double& z)
{
    if (!allFinite(in))
        return false;
    // For plain numbers the write-backs of the one-record method (the weeks
    // into `gest`, Sweden's centred height into `ht`) read back exactly what
    // was stored.
    double w = in.wt - set.weightCentre;
    double h = in.ht - set.heightCentre;
    double tw = termWeightSum<PlainSteps>(set, weightTerm<PlainSteps>(set, w), heightTerm<PlainSteps>(set, h),
                                          sexTerm(set, in.sex), ethnicTerm(set, in.eth), parityTerm(set, in.par));
    if (!std::isfinite(tw))
        return false;
    tw = clampTermWeight(tw);
    double g = in.gestDays / 7;
    double p = gestationProportion<PlainSteps>(g);
    double e = p * tw;
    double s = e * set.coefficientOfVariation;
    z = (in.bwt - e) / s;
    return std::isfinite(z) && std::fabs(z) <= kLaneDeviationLimit;
}

BatchOutcome oneRecord(const BatchRecord& record)
{
    try {
        return {computeCentile(record.population, record.inputs).centile, std::nullopt};
    } catch (const RuntimeError& error) {
        return {0, error.number()};
    }
}

// Records are gathered this many at a time: the deviations of one group fit
// comfortably in the first-level cache.
constexpr std::size_t kGroup = 512;

}  // namespace

std::string_view simdLevelName(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Portable:
        return "portable";
    case SimdLevel::Sse2:
        return "sse2";
    case SimdLevel::Avx2:
        return "avx2";
    case SimdLevel::Avx512:
        return "avx512";
    }
    return "unknown";
}

std::optional<SimdLevel> simdLevelByName(std::string_view name)
{
    for (SimdLevel level : {SimdLevel::Portable, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512})
        if (simdLevelName(level) == name)
            return level;
    return std::nullopt;
}

bool simdLevelSupported(SimdLevel level)
{
#if defined(WRENFIELD_X86_64_LANES)
    __builtin_cpu_init();
    switch (level) {
    case SimdLevel::Portable:
    case SimdLevel::Sse2:
        return true;
    case SimdLevel::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case SimdLevel::Avx512:
        return __builtin_cpu_supports("avx512f");
    }
    return false;
#else
    return level == SimdLevel::Portable;
#endif
}

std::vector<SimdLevel> supportedSimdLevels()
{
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Portable, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512})
        if (simdLevelSupported(level))
            levels.push_back(level);
    return levels;
}

SimdLevel bestSimdLevel()
{
    static const SimdLevel best = supportedSimdLevels().back();
    return best;
}

void integrateCentiles(std::span<const double> z, std::span<double> centiles, SimdLevel level)
{
    if (centiles.size() != z.size())
        throw std::invalid_argument("integrateCentiles: one centile for each deviation");
    integrateFunction(level)(z.data(), centiles.data(), z.size());
}

void computeCentiles(std::span<const BatchRecord> records, std::span<BatchOutcome> outcomes)
{
    computeCentiles(records, outcomes, bestSimdLevel());
}

void computeCentiles(std::span<const BatchRecord> records, std::span<BatchOutcome> outcomes, SimdLevel level)
{
    if (outcomes.size() != records.size())
        throw std::invalid_argument("computeCentiles: one outcome for each record");
    IntegrateFunction integrate = integrateFunction(level);

    std::array<double, kGroup> z;
    std::array<double, kGroup> centiles;
    std::array<std::size_t, kGroup> index;
    for (std::size_t base = 0; base < records.size(); base += kGroup) {
        std::size_t end = std::min(records.size(), base + kGroup);
        std::size_t inLanes = 0;
        for (std::size_t r = base; r < end; ++r) {
            const BatchRecord& record = records[r];
            if (laneDeviation(coefficients(record.population), record.inputs, z[inLanes])) {
                index[inLanes++] = r;
            } else {
                outcomes[r] = oneRecord(record);
            }
        }
        integrate(z.data(), centiles.data(), inLanes);
        for (std::size_t k = 0; k < inLanes; ++k)
            outcomes[index[k]] = {centiles[k], std::nullopt};
    }
}

}  // namespace wrenfield::engine
