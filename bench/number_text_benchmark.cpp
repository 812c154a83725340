// The shortest text of a double, as every door writes its numbers: the
// reading layer's writer (Dragonbox, eight digits at a time) against the
// standard library's std::to_chars, on the centiles of realistic births.
// Items per second are numbers written per second.
//
//   build/bench/number_text_benchmark
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <random>
#include <vector>

#include "engine/batch_kernel.h"
#include "reading/number_text.h"

namespace {

using namespace wrenfield;

// The centiles of births across the five populations: the numbers a batch
// writes most.
const std::vector<double>& centiles()
{
    static const std::vector<double> values = [] {
        std::mt19937_64 random(20261208);
        std::uniform_real_distribution<double> bwt(500, 5500), wt(40, 120), ht(145, 190);
        std::uniform_int_distribution<int> gest(168, 300), sex(0, 1), eth(1, 10), par(0, 4), population(0, 4);
        std::vector<engine::BatchRecord> records(1 << 14);
        for (engine::BatchRecord& record : records) {
            record.population = static_cast<engine::Population>(population(random));
            record.inputs = {std::round(bwt(random)), double(gest(random)), std::round(wt(random)),
                             std::round(ht(random)),  double(sex(random)),  double(eth(random)),
                             double(par(random))};
        }
        std::vector<engine::BatchOutcome> outcomes(records.size());
        engine::computeCentiles(records, outcomes);
        std::vector<double> result;
        for (const engine::BatchOutcome& outcome : outcomes)
            result.push_back(outcome.centile);
        return result;
    }();
    return values;
}

template <typename Write> void writeAll(benchmark::State& state, Write write)
{
    const std::vector<double>& values = centiles();
    char text[reading::kShortestTextRoom];
    for (auto _ : state)
        for (double value : values) {
            char* end = write(text, value);
            benchmark::DoNotOptimize(end);
            benchmark::ClobberMemory();
        }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}

void BM_StdToChars(benchmark::State& state)
{
    writeAll(state, [](char* text, double value) { return std::to_chars(text, text + 32, value).ptr; });
}
BENCHMARK(BM_StdToChars);

void BM_WriteShortest(benchmark::State& state)
{
    writeAll(state, [](char* text, double value) { return reading::writeShortest(text, value); });
}
BENCHMARK(BM_WriteShortest);

}  // namespace

BENCHMARK_MAIN();
