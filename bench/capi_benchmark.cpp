// The C API's many-births call, wf_centiles, as a C host calls it: arrays of
// doubles in, an array of wf_result out, births of one population a call.
// Items per second are births per second; with two threads each calls
// wf_centiles on arrays of its own and the items are the two threads'
// together. For comparison: one birth a call (wf_centile), and the exact
// path (every birth by the population's method) of the many-births call.
//
// Two cohorts: `typical`, births at term around the usual weights (a flag
// now and then), and `spread`, the kernel benchmark's births (weights drawn
// evenly from 500 to 5500 g at any gestation from 24 weeks: about a third
// are flagged far in a tail, and the flags' texts cost more than their
// centiles).
//
//   build/bench/capi_benchmark
//   build/bench/capi_benchmark --benchmark_filter=wf_centiles/
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "wrenfield.h"

namespace {

enum class Cohort { Typical, Spread };

// Births of one population: the columns a host hands over.
struct Columns {
    std::vector<double> bwt, gest, wt, ht, sex, eth, par;
    std::vector<wf_result> results;

    Columns(std::size_t count, Cohort cohort)
    {
        std::mt19937_64 random(20261207);
        std::uniform_int_distribution<int> code(0, 1), group(1, 10), parity(0, 4);
        for (std::size_t i = 0; i < count; ++i) {
            if (cohort == Cohort::Typical) {
                bwt.push_back(std::round(std::normal_distribution<double>(3450, 450)(random)));
                gest.push_back(std::uniform_int_distribution<int>(259, 294)(random));
                wt.push_back(std::round(std::clamp(std::normal_distribution<double>(68, 12)(random), 40.0, 140.0)));
                ht.push_back(std::round(std::normal_distribution<double>(164, 7)(random)));
            } else {
                bwt.push_back(std::round(std::uniform_real_distribution<double>(500, 5500)(random)));
                gest.push_back(std::uniform_int_distribution<int>(168, 300)(random));
                wt.push_back(std::round(std::uniform_real_distribution<double>(40, 120)(random)));
                ht.push_back(std::round(std::uniform_real_distribution<double>(145, 190)(random)));
            }
            sex.push_back(code(random));
            eth.push_back(group(random));
            par.push_back(parity(random));
        }
        results.resize(count);
    }
};

constexpr std::size_t kBirths = 1 << 14;

void BM_wf_centiles(benchmark::State& state, Cohort cohort, bool exact)
{
    Columns c(kBirths, cohort);  // each thread its own
    wf_options options = WF_OPTIONS_INIT;
    options.exact = exact;
    for (auto _ : state) {
        const std::size_t computed =
            wf_centiles_with(&options, "United Kingdom", kBirths, c.bwt.data(), c.gest.data(), c.wt.data(), c.ht.data(),
                             c.sex.data(), c.eth.data(), c.par.data(), c.results.data());
        if (computed != kBirths)
            state.SkipWithError("a birth was not computed");
        benchmark::DoNotOptimize(c.results.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kBirths));
}
BENCHMARK_CAPTURE(BM_wf_centiles, typical, Cohort::Typical, false)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_wf_centiles, spread, Cohort::Spread, false)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_wf_centiles, typical_exact, Cohort::Typical, true)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_wf_centile(benchmark::State& state)
{
    Columns c(kBirths, Cohort::Typical);
    std::size_t next = 0;
    wf_result result;
    for (auto _ : state) {
        const std::size_t i = next++ % kBirths;
        wf_centile("United Kingdom", c.bwt[i], c.gest[i], c.wt[i], c.ht[i], c.sex[i], c.eth[i], c.par[i], &result);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_wf_centile);

}  // namespace

BENCHMARK_MAIN();
