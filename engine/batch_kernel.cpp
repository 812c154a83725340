#include "engine/batch_kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/batch_integral.h"
#include "engine/batch_integral_lanes.h"
#include "engine/lane_deviation.h"
#include "engine/model_formulas.h"

namespace wrenfield::engine {

namespace lanes {

namespace {
double exponential(double x)
{
    return std::exp(x);
}
double errorFunction(double x)
{
    return std::erf(x);
}
}  // namespace

void integratePortable(const double* z, double* centiles, std::size_t count)
{
    integrateLanes<double, exponential, errorFunction>(z, centiles, count);
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

// The ethnic and parity terms of a population for every whole code from 0 up
// to kCodeTableSize − 1, looked up instead of matched one code after another:
// with codes that vary from record to record, the matching loops guess their
// way out wrongly about once a record. Each entry is the model's own term
// function at that code, so a lookup gives exactly what matching gives; any
// other code (a fraction, a negative or a larger number) is matched as the
// one-record method matches it.
using lanes::kCodeTableSize;

struct CodeTerms {
    std::array<double, kCodeTableSize> ethnic;
    std::array<double, kCodeTableSize> parity;
};

const std::array<CodeTerms, kPopulationCount>& codeTerms()
{
    static const std::array<CodeTerms, kPopulationCount> tables = [] {
        std::array<CodeTerms, kPopulationCount> built{};
        for (const CoefficientSet& set : allCoefficientSets()) {
            CodeTerms& terms = built[static_cast<std::size_t>(set.population)];
            for (std::size_t code = 0; code < kCodeTableSize; ++code) {
                terms.ethnic[code] = ethnicTerm(set, static_cast<double>(code));
                terms.parity[code] = parityTerm(set, static_cast<double>(code));
            }
        }
        return built;
    }();
    return tables;
}

#if defined(WRENFIELD_X86_64_LANES)
// The coefficients and code terms laid out for the lanes' deviations.
const lanes::DeviationTables& deviationTables()
{
    static const lanes::DeviationTables tables = [] {
        lanes::DeviationTables built;
        for (const CoefficientSet& set : allCoefficientSets()) {
            const auto lane = static_cast<std::size_t>(set.population);
            built.weightCentre[lane] = set.weightCentre;
            built.heightCentre[lane] = set.heightCentre;
            built.weightCube[lane] = set.weightCube;
            built.weightSquare[lane] = set.weightSquare;
            built.weightLinear[lane] = set.weightLinear;
            built.heightLinear[lane] = set.heightLinear;
            built.heightCube[lane] = set.heightCube;
            built.heightForm[lane] = static_cast<double>(set.heightForm);
            built.constant[lane] = set.constant;
            built.sexMale[lane] = set.sexMale;
            built.sexOther[lane] = set.sexOther;
            built.coefficientOfVariation[lane] = set.coefficientOfVariation;
            const CodeTerms& terms = codeTerms()[lane];
            std::copy(terms.ethnic.begin(), terms.ethnic.end(), built.ethnic.begin() + lane * kCodeTableSize);
            std::copy(terms.parity.begin(), terms.parity.end(), built.parity.begin() + lane * kCodeTableSize);
        }
        return built;
    }();
    return tables;
}
#endif

// The table's entry for a whole code within it, else nothing.
inline const double* tableEntry(const std::array<double, kCodeTableSize>& table, double code)
{
    if (!(code >= 0 && code < static_cast<double>(kCodeTableSize)))
        return nullptr;
    auto whole = static_cast<std::size_t>(code);
    return static_cast<double>(whole) == code ? &table[whole] : nullptr;
}

// The deviation z of one record and the values before it, by the one-record
// method's steps in its order, without a check after each step. Returns false
// when the record needs
// the one-record method to decide: a non-finite input, a term weight that
// overflowed (the clamp would hide it), or a deviation that is not finite or
// beyond the largest integrated deviation. Any overflow, division by zero or
// invalid operation before z carries through to one of these, since no later
// step multiplies by zero or divides by an infinity.
bool laneDeviation(const CoefficientSet& set, const CodeTerms& terms, const CentileInputs& in, CentileDetail& detail)
{
    if (!allFinite(in))
        return false;
    // For plain numbers the write-backs of the one-record method (the weeks
    // into `gest`, Sweden's centred height into `ht`) read back exactly what
    // was stored.
    double w = in.wt - set.weightCentre;
    double h = in.ht - set.heightCentre;
    // The height term in each of the three forms, the set's own picked by
    // index, and the sex term likewise: with populations and sexes mixed
    // from record to record, a branch here would be guessed wrongly half the
    // time, and a wrong guess costs more than the few extra products.
    double heightForms[3];
    heightForms[static_cast<std::size_t>(HeightForm::Linear)] = linearHeightTerm<PlainSteps>(set, h);
    heightForms[static_cast<std::size_t>(HeightForm::LinearMinusCube)] = linearMinusCubeHeightTerm<PlainSteps>(set, h);
    heightForms[static_cast<std::size_t>(HeightForm::NestedCube)] = nestedCubeHeightTerm<PlainSteps>(set, h);
    double heightPart = heightForms[static_cast<std::size_t>(set.heightForm)];
    const double sexParts[2] = {set.sexOther, set.sexMale};
    double sexPart = sexParts[in.sex == 1];
    const double* ethnic = tableEntry(terms.ethnic, in.eth);
    const double* parity = tableEntry(terms.parity, in.par);
    double tw = termWeightSum<PlainSteps>(set, weightTerm<PlainSteps>(set, w), heightPart, sexPart,
                                          ethnic ? *ethnic : ethnicTerm(set, in.eth),
                                          parity ? *parity : parityTerm(set, in.par));
    if (!std::isfinite(tw))
        return false;
    tw = clampTermWeight(tw);
    double g = in.gestDays / 7;
    double p = gestationProportion<PlainSteps>(g);
    double e = p * tw;
    double s = e * set.coefficientOfVariation;
    double z = (in.bwt - e) / s;
    detail = {tw, g, p, e, s, z, 0};
    return std::isfinite(z) && std::fabs(z) <= kLaneDeviationLimit;
}

BatchOutcome oneRecord(const BatchRecord& record)
{
    try {
        const CentileDetail detail = computeCentile(record.population, record.inputs);
        return {detail.centile, std::nullopt, detail};
    } catch (const RuntimeError& error) {
        return {0, error.number(), {}};
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
    CentileDetail detail;
    std::span<const CoefficientSet> sets = allCoefficientSets();
    const std::array<CodeTerms, kPopulationCount>& terms = codeTerms();
    // Where the processor has AVX-512, eight records' deviations are taken
    // at once (with AVX2, four and four); a record the lanes leave goes the
    // record-by-record way.
#if defined(WRENFIELD_X86_64_LANES)
    const bool eightAtOnce = level == SimdLevel::Avx512;
    const bool fourAtOnce = level == SimdLevel::Avx2;
    const lanes::DeviationTables* const tables = eightAtOnce || fourAtOnce ? &deviationTables() : nullptr;
#endif
    lanes::DeviationLanes eight;
    for (std::size_t base = 0; base < records.size(); base += kGroup) {
        std::size_t end = std::min(records.size(), base + kGroup);
        std::size_t inLanes = 0;
        for (std::size_t first = base; first < end; first += 8) {
            const auto count = static_cast<unsigned>(std::min<std::size_t>(8, end - first));
            unsigned taken = 0;
#if defined(WRENFIELD_X86_64_LANES)
            if (eightAtOnce)
                taken = lanes::deviationsAvx512(&records[first], count, *tables, eight);
            else if (fourAtOnce)
                taken = lanes::deviationsAvx2(&records[first], count, *tables, eight);
#endif
            for (unsigned k = 0; k < count; ++k) {
                const std::size_t r = first + k;
                const BatchRecord& record = records[r];
                if (taken >> k & 1) {
                    detail = {eight.termWeight[k],
                              eight.weeks[k],
                              eight.proportion[k],
                              eight.expected[k],
                              eight.spread[k],
                              eight.z[k],
                              0};
                } else if (auto population = static_cast<std::size_t>(record.population);
                           !laneDeviation(sets[population], terms[population], record.inputs, detail)) {
                    outcomes[r] = oneRecord(record);
                    continue;
                }
                outcomes[r].detail = detail;
                z[inLanes] = detail.z;
                index[inLanes++] = r;
            }
        }
        integrate(z.data(), centiles.data(), inLanes);
        for (std::size_t k = 0; k < inLanes; ++k) {
            BatchOutcome& outcome = outcomes[index[k]];
            outcome.centile = outcome.detail.centile = centiles[k];
            outcome.error.reset();
        }
    }
}

}  // namespace wrenfield::engine
