// The machine's memory bandwidth, the limit of every path that streams
// births through memory: reading a buffer far larger than the caches, and
// copying one (each byte read once and written once), on one thread and on
// every core. Prints gigabytes (10^9 bytes) a second, the best of five runs.
//
//   build/bench/memory_bandwidth [MiB]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Best rate over five runs of `work` on `threads` threads, each on its own
// share of `bytes` bytes.
double bestRate(std::size_t threads, std::size_t bytes, const std::function<void(std::size_t, std::size_t)>& work)
{
    double best = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        std::vector<std::thread> pool;
        for (std::size_t t = 0; t < threads; ++t)
            pool.emplace_back(work, bytes * t / threads, bytes * (t + 1) / threads);
        for (std::thread& thread : pool)
            thread.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::max(best, static_cast<double>(bytes) / seconds / 1e9);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 512;
    const std::size_t bytes = mib << 20;
    std::vector<std::uint64_t> source(bytes / 8, 1);
    std::vector<std::uint64_t> target(bytes / 8, 0);
    std::vector<std::uint64_t> sums(64, 0);
    auto read = [&](std::size_t begin, std::size_t end) {
        // Four sums, so that the adds do not wait on one another.
        std::uint64_t sum[4] = {};
        std::size_t i = begin / 8;
        for (; i + 4 <= end / 8; i += 4)
            for (int k = 0; k < 4; ++k)
                sum[k] += source[i + static_cast<std::size_t>(k)];
        for (; i < end / 8; ++i)
            sum[0] += source[i];
        sums[begin * 63 / bytes] += sum[0] + sum[1] + sum[2] + sum[3];
    };
    auto copy = [&](std::size_t begin, std::size_t end) {
        std::memcpy(reinterpret_cast<char*>(target.data()) + begin,
                    reinterpret_cast<const char*>(source.data()) + begin, end - begin);
    };
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("buffers of %zu MiB; %zu cores\n", mib, cores);
    for (std::size_t threads : {std::size_t{1}, cores}) {
        std::printf("%zu thread%s: read %.1f GB/s, copy %.1f GB/s (bytes copied a second; twice that moved)\n", threads,
                    threads == 1 ? "" : "s", bestRate(threads, bytes, read), bestRate(threads, bytes, copy));
        if (cores == 1)
            break;
    }
    std::uint64_t total = 0;
    for (std::uint64_t s : sums)
        total += s;
    return total == 0 ? 1 : 0;
}
