// The shortest text of a double, as every door writes its numbers: the
// reading layer's writer (Dragonbox, eight digits at a time) against the
// standard library's std::to_chars, on the centiles of realistic births
// (readings:0) and on readings, whole numbers and tenths (readings:1); and
// the batch's eight-at-a-time texts of them.
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

// The readings an answer repeats (grams, days, kilograms in tenths,
// centimetres, codes, whole weeks): whole numbers and tenths.
const std::vector<double>& readings()
{
    static const std::vector<double> values = [] {
        std::mt19937_64 random(20261208);
        std::uniform_int_distribution<int> bwt(500, 5500), gest(168, 300), wtTenths(400, 1200), ht(145, 190),
            code(0, 10);
        std::vector<double> result;
        for (int i = 0; i < 2048; ++i)
            for (double value : {double(bwt(random)), double(gest(random)), wtTenths(random) / 10.0, double(ht(random)),
                                 double(code(random)), double(gest(random) / 7)})
                result.push_back(value);
        return result;
    }();
    return values;
}

template <typename Write> void writeAll(benchmark::State& state, Write write)
{
    const std::vector<double>& values = state.range(0) == 0 ? centiles() : readings();
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
BENCHMARK(BM_StdToChars)->ArgName("readings")->Arg(0)->Arg(1);

void BM_WriteShortest(benchmark::State& state)
{
    writeAll(state, [](char* text, double value) { return reading::writeShortest(text, value); });
}
BENCHMARK(BM_WriteShortest)->ArgName("readings")->Arg(0)->Arg(1);

// The batch's writer for centiles (the same text; readings go on to writeShortest).
void BM_WriteShortestCentile(benchmark::State& state)
{
    writeAll(state, [](char* text, double value) { return reading::writeShortestCentile(text, value); });
}
BENCHMARK(BM_WriteShortestCentile)->ArgName("readings")->Arg(0);

// The batch's centile texts, eight at a time into slots, as this processor
// lays them out (in lanes where it has AVX-512, else one after another).
void BM_WriteNumberTexts(benchmark::State& state)
{
    const std::vector<double>& values = state.range(0) == 0 ? centiles() : readings();
    reading::NumberTexts texts;
    for (auto _ : state)
        for (std::size_t from = 0; from + reading::NumberTexts::kCount <= values.size();
             from += reading::NumberTexts::kCount) {
            reading::writeNumberTexts(values.data() + from, reading::NumberTexts::kCount, texts);
            benchmark::DoNotOptimize(texts);
            benchmark::ClobberMemory();
        }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_WriteNumberTexts)->ArgName("readings")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
