// The batch kernel against the one-record variant method, at every
// instruction-set level this processor runs: every worked value, a large
// random set over and beyond realistic inputs with the edges of the
// integral, and the records that must go back to the one-record method
// (errors, deviations beyond the largest integrated one).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/batch_kernel.h"
#include "engine/population_methods.h"
#include "tests/support/worked_values.h"

namespace wrenfield::engine {
namespace {

constexpr double kAgreement = 1e-11;  // percentage points

using P = Population;

// The one-record variant method on fresh double variants: its centile, or
// the run-time error it raises.
BatchOutcome reference(const BatchRecord& record)
{
    const CentileInputs& in = record.inputs;
    Variant bwt(in.bwt), gest(in.gestDays), wt(in.wt), ht(in.ht), sex(in.sex), eth(in.eth), par(in.par);
    try {
        Variant result = populationMethod(record.population)(bwt, gest, wt, ht, sex, eth, par);
        return {result.number(), std::nullopt, {}};
    } catch (const RuntimeError& error) {
        return {0, error.number(), {}};
    }
}

std::string describe(const BatchRecord& record)
{
    const CentileInputs& in = record.inputs;
    return std::string(coefficients(record.population).name) + " bwt " + std::to_string(in.bwt) + " gest " +
        std::to_string(in.gestDays) + " wt " + std::to_string(in.wt) + " ht " + std::to_string(in.ht) + " sex " +
        std::to_string(in.sex) + " eth " + std::to_string(in.eth) + " par " + std::to_string(in.par);
}

std::vector<BatchOutcome> references(const std::vector<BatchRecord>& records)
{
    // The one-record method takes some microseconds a record: share the
    // records out over the cores.
    std::vector<BatchOutcome> expected(records.size());
    const std::size_t workers = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < workers; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t r = t; r < records.size(); r += workers)
                expected[r] = reference(records[r]);
        });
    for (std::thread& thread : threads)
        thread.join();
    return expected;
}

// Every record agrees with the reference: the same error, or a centile
// within the agreement.
void expectAgreement(const std::vector<BatchRecord>& records, SimdLevel level,
                     const std::vector<BatchOutcome>& expected)
{
    std::vector<BatchOutcome> outcomes(records.size());
    computeCentiles(records, outcomes, level);
    std::size_t disagreements = 0;
    for (std::size_t r = 0; r < records.size() && disagreements < 10; ++r) {
        const BatchOutcome& got = outcomes[r];
        bool agree = expected[r].error ? got.error == expected[r].error
                                       : !got.error && std::fabs(got.centile - expected[r].centile) <= kAgreement;
        if (!agree) {
            ++disagreements;
            ADD_FAILURE() << "record " << r << " (" << describe(records[r]) << "): expected "
                          << (expected[r].error ? "error " + std::to_string(int(*expected[r].error))
                                                : std::to_string(expected[r].centile))
                          << ", got "
                          << (got.error ? "error " + std::to_string(int(*got.error)) : std::to_string(got.centile));
        }
    }
}

void expectAgreement(const std::vector<BatchRecord>& records, SimdLevel level)
{
    expectAgreement(records, level, references(records));
}

class BatchKernel : public ::testing::TestWithParam<SimdLevel> {};

std::string levelName(const ::testing::TestParamInfo<SimdLevel>& info)
{
    return std::string(simdLevelName(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryLevel, BatchKernel, ::testing::ValuesIn(supportedSimdLevels()), levelName);

TEST_P(BatchKernel, GivesEveryWorkedValue)
{
    const auto& worked = wrenfield::testing::kWorkedValues;
    std::vector<BatchRecord> records;
    for (const auto& w : worked)
        records.push_back(
            {w.population,
             {w.inputs[0], w.inputs[1], w.inputs[2], w.inputs[3], w.inputs[4], w.inputs[5], w.inputs[6]}});
    std::vector<BatchOutcome> outcomes(records.size());
    computeCentiles(records, outcomes, GetParam());
    for (std::size_t r = 0; r < records.size(); ++r) {
        SCOPED_TRACE(worked[r].what);
        ASSERT_FALSE(outcomes[r].error);
        EXPECT_NEAR(outcomes[r].centile, worked[r].centile, worked[r].tolerance());
        // The values around the centile are the method's own, to the bit.
        const CentileDetail method = computeCentile(records[r].population, records[r].inputs);
        const CentileDetail& got = outcomes[r].detail;
        EXPECT_EQ(got.centile, outcomes[r].centile);
        EXPECT_EQ(got.termWeight, method.termWeight);
        EXPECT_EQ(got.weeks, method.weeks);
        EXPECT_EQ(got.proportion, method.proportion);
        EXPECT_EQ(got.expected, method.expected);
        EXPECT_EQ(got.spread, method.spread);
        EXPECT_EQ(got.z, method.z);
    }
    expectAgreement(records, GetParam());
}

TEST_P(BatchKernel, DeviationZeroIsExactlyFifty)
{
    // For the worked example's mother, E = 3515.0135 exactly as computed;
    // a birthweight of that double gives z = 0.
    CentileDetail detail = computeCentile(P::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 0});
    std::vector<BatchRecord> records(3, {P::UnitedKingdom, {detail.expected, 280, 64, 163, 1, 1, 0}});
    std::vector<BatchOutcome> outcomes(records.size());
    computeCentiles(records, outcomes, GetParam());
    for (const BatchOutcome& outcome : outcomes) {
        ASSERT_FALSE(outcome.error);
        EXPECT_EQ(outcome.centile, 50.0);
    }
}

// Births drawn over and well beyond realistic ranges, in all five
// populations, with codes that match a group and codes that match none
// (whole and fractional), both clamps, deviations of both signs up to the
// plateau beyond |z| 5.3, and group sizes that leave short last vectors.
// One record in five is then moved onto an edge of the integral: a
// birthweight of exactly the expected weight (z = 0), or one that puts z
// anywhere from 6 to 500 spreads (the far tails, evenly on a log scale) or
// just beyond 500 (the one-record method's), above or below.
std::vector<BatchRecord> randomBirths(std::size_t count, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    auto pick = [&](double low, double high) { return low + (high - low) * unit(random); };
    auto code = [&](int high) {
        double u = unit(random);
        if (u < 0.8)
            return std::floor(pick(0, high + 1));
        if (u < 0.9)
            return pick(-3, high + 3);  // fractional: equals no code
        return std::floor(pick(-40000, 40000));
    };
    std::vector<BatchRecord> records(count);
    for (BatchRecord& record : records) {
        record.population = static_cast<Population>(random() % kPopulationCount);
        CentileInputs& in = record.inputs;
        bool realistic = unit(random) < 0.6;
        if (realistic) {
            in = {std::round(pick(300, 6000)),
                  std::round(pick(154, 315)),
                  std::round(pick(35, 150)),
                  std::round(pick(135, 200)),
                  code(2),
                  code(30),
                  code(5)};
        } else {
            in = {pick(-20000, 60000), pick(0, 2000), pick(-300, 500), pick(-500, 700), code(2), code(30), code(5)};
            if (unit(random) < 0.1)
                in.gestDays = pick(-1e5, 1e5);
        }
        double edge = unit(random);
        if (edge < 0.8)
            continue;
        try {
            CentileDetail detail = computeCentile(record.population, in);
            double z = 0;
            if (edge >= 0.83)
                z = std::exp(edge < 0.99 ? pick(std::log(6.0), std::log(500.0)) : pick(std::log(500.0), 20));
            in.bwt = detail.expected + (unit(random) < 0.5 ? -z : z) * detail.spread;
        } catch (const RuntimeError&) {}
    }
    return records;
}

// How many random births the agreement test draws: 100,000 (10,000 in the
// slower sanitizer builds), or WRENFIELD_AGREEMENT_RECORDS.
std::size_t agreementRecordCount()
{
    if (const char* count = std::getenv("WRENFIELD_AGREEMENT_RECORDS"))
        return std::strtoull(count, nullptr, 10);
#if defined(__SANITIZE_ADDRESS__)
    return 10'000;
#else
    return 100'000;
#endif
}

// The draw, and its one-record results, made once for every level that a
// run of this program tests.
const std::vector<BatchRecord>& agreementRecords()
{
    static const std::vector<BatchRecord> records = randomBirths(agreementRecordCount(), 1207);
    return records;
}

const std::vector<BatchOutcome>& agreementReferences()
{
    static const std::vector<BatchOutcome> expected = references(agreementRecords());
    return expected;
}

TEST(BatchKernelSample, ReachesEveryRegionOfTheModel)
{
    // Make sure the draw reaches what it is meant to reach (its first
    // 20,000 records are enough to tell).
    std::vector<BatchRecord> records = randomBirths(20'000, 1207);
    const std::size_t share = records.size() / 1000;  // records per thousand
    std::size_t negative = 0, positive = 0, lowClamp = 0, highClamp = 0, plateau = 0, zero = 0, beyond = 0;
    for (const BatchRecord& record : records) {
        try {
            CentileDetail detail = computeCentile(record.population, record.inputs);
            negative += detail.z < 0;
            positive += detail.z > 0;
            zero += detail.z == 0;
            lowClamp += detail.termWeight == kTermWeightLowerClamp;
            highClamp += detail.termWeight == kTermWeightUpperClamp;
            plateau += std::fabs(detail.z) > 6 && std::fabs(detail.z) <= kLargestIntegratedDeviation;
            beyond += std::fabs(detail.z) > kLargestIntegratedDeviation;
        } catch (const RuntimeError&) {}
    }
    EXPECT_GT(negative, 300 * share);
    EXPECT_GT(positive, 300 * share);
    EXPECT_GT(zero, 10 * share);
    EXPECT_GT(lowClamp, 5 * share);
    EXPECT_GT(highClamp, 5 * share);
    EXPECT_GT(plateau, 100 * share);
    EXPECT_GT(beyond, share);
}

TEST_P(BatchKernel, AgreesWithTheVariantMethodOverRandomBirths)
{
    expectAgreement(agreementRecords(), GetParam(), agreementReferences());
}

// The values before the integral are the one-record method's steps in its
// order, whichever way the kernel takes them (eight records at once, or one
// by one): the same doubles to the last bit, over the random draw with its
// odd codes, clamped term weights and far deviations. Every level is held to
// the portable one over the whole draw, and that one to the one-record
// method over its first records (the method takes its 1001 slices each time).
TEST_P(BatchKernel, DetailsAreTheOneRecordMethodsToTheBit)
{
    constexpr std::size_t kAgainstTheMethod = 5000;
    const std::vector<BatchRecord>& records = agreementRecords();
    std::vector<BatchOutcome> outcomes(records.size());
    std::vector<BatchOutcome> portable(records.size());
    computeCentiles(records, outcomes, GetParam());
    computeCentiles(records, portable, SimdLevel::Portable);
    auto bits = [](const CentileDetail& d) {
        return std::vector<std::uint64_t>{
            std::bit_cast<std::uint64_t>(d.termWeight), std::bit_cast<std::uint64_t>(d.weeks),
            std::bit_cast<std::uint64_t>(d.proportion), std::bit_cast<std::uint64_t>(d.expected),
            std::bit_cast<std::uint64_t>(d.spread),     std::bit_cast<std::uint64_t>(d.z)};
    };
    std::size_t compared = 0;
    std::size_t wrong = 0;
    for (std::size_t r = 0; r < records.size() && wrong < 10; ++r) {
        if (outcomes[r].error)
            continue;
        ++compared;
        const CentileDetail expected =
            r < kAgainstTheMethod ? computeCentile(records[r].population, records[r].inputs) : portable[r].detail;
        if (bits(outcomes[r].detail) != bits(expected)) {
            ++wrong;
            ADD_FAILURE() << "record " << r << " (" << describe(records[r]) << "): z " << outcomes[r].detail.z
                          << " against " << expected.z;
        }
    }
    EXPECT_GT(compared, records.size() / 2);
}

TEST_P(BatchKernel, IntegralAgreesWithTheOneRecordIntegral)
{
    std::mt19937_64 random(7);
    std::vector<double> z;
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (double special :
         {0.0, 1e-300, 1e-310, tiny, 1e-15, 5.3, 6.0, 37.0, 39.0, 499.999, 500.0, 500.5, 1e6, kLaneDeviationLimit})
        for (double sign : {1.0, -1.0})
            z.push_back(sign * special);
    // The far tails: every |z| from 6 to 500 in steps of a quarter, both signs.
    for (double far = 6; far <= kLargestIntegratedDeviation; far += 0.25)
        for (double sign : {1.0, -1.0})
            z.push_back(sign * far);
    std::normal_distribution<double> normal(0, 3);
    while (z.size() < 12'003)
        z.push_back(normal(random));
    std::vector<double> centiles(z.size());
    integrateCentiles(z, centiles, GetParam());
    for (std::size_t k = 0; k < z.size(); ++k) {
        double expected = centileFromZ(z[k]);
        ASSERT_NEAR(centiles[k], expected, kAgreement) << "z = " << z[k];
        if (std::fabs(z[k]) < 1e-300) {
            EXPECT_EQ(centiles[k], 50.0) << "z = " << z[k];
        }
    }
}

TEST_P(BatchKernel, HandsUnusualRecordsToTheOneRecordMethod)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // A birthweight that puts z between the lanes' limit and the overflow of
    // a slice midpoint's square: the one-record method computes it.
    CentileDetail worked = computeCentile(P::UnitedKingdom, {3400, 280, 64, 163, 1, 1, 0});
    const double hugeZBwt = worked.expected + 1e152 * worked.spread;
    const std::vector<std::pair<CentileInputs, std::optional<ErrorNumber>>> cases = {
        {{nan, 280, 64, 163, 1, 1, 0}, ErrorNumber::InvalidProcedureCall},
        {{3400, 280, 64, 163, nan, 1, 0}, ErrorNumber::InvalidProcedureCall},
        {{3400, 280, 64, 163, 1, nan, 0}, ErrorNumber::InvalidProcedureCall},
        {{3400, 280, 64, 163, 1, 1, nan}, ErrorNumber::InvalidProcedureCall},
        {{3400, 280, 1e300, 163, 1, 1, 0}, ErrorNumber::Overflow},  // the weight term; the clamp would hide it
        {{3400, 280, -1e300, 163, 1, 1, 0}, ErrorNumber::Overflow},
        {{3400, 280, 64, 1e200, 1, 1, 0}, std::nullopt},  // UK height term is linear: clamped
        {{3400, 280, 64, 163, 1, 1, 0}, std::nullopt},
        {{3400, 1e300, 64, 163, 1, 1, 0}, ErrorNumber::Overflow},  // the gestation proportion
        {{1e300, 280, 64, 163, 1, 1, 0}, ErrorNumber::Overflow},   // a slice midpoint's square
        {{-1e300, 280, 64, 163, 1, 1, 0}, ErrorNumber::Overflow},
        {{hugeZBwt, 280, 64, 163, 1, 1, 0}, std::nullopt},
        {{inf, 280, 64, 163, 1, 1, 0}, ErrorNumber::Overflow},
        {{3400, 280, 64, 163, inf, -inf, inf}, std::nullopt},
    };
    std::vector<BatchRecord> records;
    for (const auto& [inputs, error] : cases)
        records.push_back({P::UnitedKingdom, inputs});
    // The same records in the other populations, where the height term of
    // 1e200 overflows too (United States, Sweden cube it).
    for (Population population : {P::UnitedStates, P::Sweden, P::NewZealand, P::Australia})
        for (const auto& [inputs, error] : cases)
            records.push_back({population, inputs});

    std::vector<BatchOutcome> outcomes(records.size());
    computeCentiles(records, outcomes, GetParam());
    for (std::size_t r = 0; r < cases.size(); ++r) {
        SCOPED_TRACE(describe(records[r]));
        EXPECT_EQ(outcomes[r].error, cases[r].second);
    }
    // So far out, the centile is the far-tail value, not the 50 that slices
    // too wide to see the density would give.
    EXPECT_EQ(outcomes[11].centile, centileFromZ(kLargestIntegratedDeviation));
    expectAgreement(records, GetParam());
}

TEST_P(BatchKernel, KeepsEveryRecordInPlaceAmongErrors)
{
    // Errors scattered through good records: every good record's centile is
    // its own, whatever lands in the lanes around it.
    std::vector<BatchRecord> records = randomBirths(1500, 99);
    for (std::size_t r = 0; r < records.size(); r += 7)
        records[r].inputs.wt = 1e300;
    for (std::size_t r = 3; r < records.size(); r += 11)
        records[r].inputs.bwt = std::numeric_limits<double>::quiet_NaN();
    expectAgreement(records, GetParam());
}

TEST_P(BatchKernel, TakesEmptyAndTinyBatches)
{
    std::vector<BatchRecord> none;
    std::vector<BatchOutcome> noOutcomes;
    computeCentiles(none, noOutcomes, GetParam());
    for (std::size_t size = 1; size <= 17; ++size)
        expectAgreement(randomBirths(size, size), GetParam());
}

TEST(BatchKernelSetup, NamesAndLevels)
{
    for (SimdLevel level : {SimdLevel::Portable, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512})
        EXPECT_EQ(simdLevelByName(simdLevelName(level)), level);
    EXPECT_FALSE(simdLevelByName("avx"));
    EXPECT_TRUE(simdLevelSupported(SimdLevel::Portable));
    EXPECT_EQ(bestSimdLevel(), supportedSimdLevels().back());
#if defined(__x86_64__)
    EXPECT_TRUE(simdLevelSupported(SimdLevel::Sse2));
#endif
}

TEST(BatchKernelSetup, RefusesMismatchedSizes)
{
    std::vector<BatchRecord> records(3);
    std::vector<BatchOutcome> outcomes(2);
    EXPECT_THROW(computeCentiles(records, outcomes), std::invalid_argument);
}

}  // namespace
}  // namespace wrenfield::engine
