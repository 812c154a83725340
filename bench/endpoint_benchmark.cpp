// POST /v1/centile without the network: the service's own work for one birth
// and for an array of 10,000 (the bodies bench/wrk sends), reading the JSON,
// computing and writing the answer. Items per second are births per second
// on one thread; the service's processor time per birth is their inverse.
// With 2 threads each thread answers requests of its own, as two connections
// would be answered.
//
//   build/bench/endpoint_benchmark
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "server/api.h"

namespace {

using namespace wrenfield;

// The body of bench/wrk/ten_thousand_births.lua: varied readings, all five
// populations.
std::string arrayBody(int count)
{
    const char* populations[] = {"uk", "us", "se", "nz", "au"};
    std::string body = "[";
    char birth[256];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(
            birth, sizeof birth,
            R"({"population": "%s", "bwt": %d, "gest": %d, "wt": %.1f, "ht": %d, "sex": %d, "eth": 1, "par": %d})",
            populations[i % 5], 2000 + (i * 37) % 2500, 245 + (i * 7) % 50, 50 + (i % 40) * 1.5, 150 + i % 35, i % 2,
            i % 5);
        if (i > 1)
            body += ',';
        body += birth;
    }
    return body + "]";
}

// The body of bench/wrk/one_birth.lua.
const std::string kOneBirth =
    R"({"population": "uk", "bwt": 3400, "gest": "39+4", "wt": 64, "ht": 163, "sex": "Male", "eth": "European", "par": 0})";

// The processor time of the whole process (every thread: the helpers that
// share a long array's parts too), in seconds.
double processSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void answer(benchmark::State& state, const std::string& body, std::int64_t births)
{
    std::size_t bytes = 0;
    const double before = processSeconds();
    for (auto _ : state) {
        // As a connection answers: a long answer in parts, not joined.
        server::Response response = server::respondInParts({"POST", "/v1/centile", "application/json", body});
        if (response.status != 200)
            state.SkipWithError("not answered 200");
        bytes += response.bodySize();
        benchmark::DoNotOptimize(response.body.data());
    }
    const double processTime = processSeconds() - before;
    state.SetItemsProcessed(state.iterations() * births);
    // With several threads each counts the process's time over its own
    // requests: the figure of one thread alone is the one to read.
    state.counters["process_us_per_birth"] =
        benchmark::Counter(processTime * 1e6 / static_cast<double>(state.iterations() * births));
    state.counters["answer_bytes_per_birth"] =
        benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations() * births));
}

void BM_OneBirth(benchmark::State& state)
{
    answer(state, kOneBirth, 1);
}
BENCHMARK(BM_OneBirth)->Threads(1)->Threads(2)->UseRealTime();

void BM_ArrayOf10000(benchmark::State& state)
{
    static const std::string body = arrayBody(10'000);
    answer(state, body, 10'000);
}
BENCHMARK(BM_ArrayOf10000)->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
