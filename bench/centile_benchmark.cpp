// The centile of one record by the variant method and by the typed call,
// against many records in the lanes of each instruction set this processor
// runs, on one thread and on several. Items per second are records per
// second; the ratio of the kernel's to the variant method's is the speed-up.
//
//   build/bench/centile_benchmark
//   build/bench/centile_benchmark --benchmark_filter=Kernel
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/batch_kernel.h"
#include "engine/centile_model.h"
#include "engine/population_methods.h"

namespace {

using namespace wrenfield;
using namespace wrenfield::engine;

// Realistic births across the five populations.
std::vector<BatchRecord> births(std::size_t count)
{
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> bwt(500, 5500), wt(40, 120), ht(145, 190);
    std::uniform_int_distribution<int> gest(168, 300), sex(0, 1), eth(1, 10), par(0, 4), population(0, 4);
    std::vector<BatchRecord> records(count);
    for (BatchRecord& record : records) {
        record.population = static_cast<Population>(population(random));
        record.inputs = {std::round(bwt(random)), double(gest(random)), std::round(wt(random)), std::round(ht(random)),
                         double(sex(random)),     double(eth(random)),  double(par(random))};
    }
    return records;
}

const std::vector<BatchRecord>& sample()
{
    static const std::vector<BatchRecord> records = births(1 << 14);
    return records;
}

void BM_VariantMethod(benchmark::State& state)
{
    const std::vector<BatchRecord>& records = sample();
    std::size_t next = 0;
    for (auto _ : state) {
        const BatchRecord& record = records[next++ % records.size()];
        const CentileInputs& in = record.inputs;
        Variant bwt(in.bwt), gest(in.gestDays), wt(in.wt), ht(in.ht), sex(in.sex), eth(in.eth), par(in.par);
        Variant result = populationMethod(record.population)(bwt, gest, wt, ht, sex, eth, par);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VariantMethod);

void BM_ComputeCentile(benchmark::State& state)
{
    const std::vector<BatchRecord>& records = sample();
    std::size_t next = 0;
    for (auto _ : state) {
        const BatchRecord& record = records[next++ % records.size()];
        benchmark::DoNotOptimize(computeCentile(record.population, record.inputs));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComputeCentile);

// Each thread computes the whole sample of its own; with two threads the
// items per second are the two threads' together.
void BM_Kernel(benchmark::State& state, SimdLevel level)
{
    const std::vector<BatchRecord>& records = sample();
    std::vector<BatchOutcome> outcomes(records.size());
    for (auto _ : state) {
        computeCentiles(records, outcomes, level);
        benchmark::DoNotOptimize(outcomes.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records.size()));
}

int registerKernels()
{
    for (SimdLevel level : supportedSimdLevels()) {
        std::string name = "BM_Kernel/" + std::string(simdLevelName(level));
        benchmark::RegisterBenchmark(name.c_str(), BM_Kernel, level)
            ->Threads(1)
            ->Threads(2)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}
const int registered = registerKernels();

}  // namespace

BENCHMARK_MAIN();
