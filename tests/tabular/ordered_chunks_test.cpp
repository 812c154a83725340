#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tabular/ordered_chunks.h"

namespace wrenfield::tabular {
namespace {

struct Chunk {
    int first = 0;
    std::vector<int> values;
};

// Reads chunks of consecutive numbers up to `total`.
struct Source {
    int total;
    int next = 0;
    int chunkSize = 7;
    bool read(Chunk& chunk)
    {
        if (next >= total)
            return false;
        chunk.first = next;
        chunk.values.clear();
        for (int k = 0; k < chunkSize && next < total; ++k)
            chunk.values.push_back(next++);
        return true;
    }
};

class OrderedChunksThreads : public testing::TestWithParam<std::size_t> {};
INSTANTIATE_TEST_SUITE_P(Threads, OrderedChunksThreads, testing::Values(1, 2, 3, 8));

TEST_P(OrderedChunksThreads, WritesEveryChunkInReadingOrderWithBoundedChunksInFlight)
{
    Source source{1000};
    std::vector<int> written;
    std::atomic<int> inFlight = 0;
    int mostInFlight = 0;
    std::mt19937 random(GetParam());
    std::vector<int> delays(200);
    for (int& delay : delays)
        delay = int(random() % 300);

    OrderedChunks<Chunk> chunks(GetParam(), 4 + GetParam());
    bool finished = chunks.run({
        .read =
            [&](Chunk& chunk) {
                if (!source.read(chunk))
                    return false;
                mostInFlight = std::max(mostInFlight, ++inFlight);
                return true;
            },
        .process =
            [&](Chunk& chunk, NoWorkerSpace&) {
                // Uneven work, so that later chunks often finish first.
                std::this_thread::sleep_for(std::chrono::microseconds(delays[std::size_t(chunk.first / 7) % 200]));
                for (int& value : chunk.values)
                    value = value * 3 + 1;
            },
        .write =
            [&](Chunk& chunk) {
                --inFlight;
                written.insert(written.end(), chunk.values.begin(), chunk.values.end());
            },
    });
    EXPECT_TRUE(finished);
    ASSERT_EQ(written.size(), 1000u);
    for (int k = 0; k < 1000; ++k)
        ASSERT_EQ(written[std::size_t(k)], k * 3 + 1);
    EXPECT_LE(mostInFlight, int(GetParam() == 1 ? 1 : 4 + GetParam()));
}

// A worker's space is its own: never used by two chunks at once, and no
// more spaces than workers.
struct CountingSpace {
    std::atomic<int> users = 0;
    int chunks = 0;
};

TEST_P(OrderedChunksThreads, EachWorkerKeepsItsOwnSpace)
{
    Source source{2000};
    std::atomic<bool> shared = false;
    std::mutex seenMutex;
    std::set<const CountingSpace*> seen;
    OrderedChunks<Chunk, CountingSpace> chunks(GetParam());
    EXPECT_TRUE(chunks.run({.read = [&](Chunk& c) { return source.read(c); },
                            .process =
                                [&](Chunk&, CountingSpace& space) {
                                    if (space.users.fetch_add(1) != 0)
                                        shared = true;
                                    ++space.chunks;
                                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                                    space.users.fetch_sub(1);
                                    std::lock_guard lock(seenMutex);
                                    seen.insert(&space);
                                },
                            .write = [](Chunk&) {}}));
    EXPECT_FALSE(shared);
    EXPECT_GE(seen.size(), 1u);
    EXPECT_LE(seen.size(), GetParam());
    int total = 0;
    for (const CountingSpace* space : seen)
        total += space->chunks;
    EXPECT_EQ(total, (2000 + 6) / 7);
}

TEST_P(OrderedChunksThreads, EmptyInputWritesNothing)
{
    Source source{0};
    int writes = 0;
    OrderedChunks<Chunk> chunks(GetParam());
    EXPECT_TRUE(chunks.run({.read = [&](Chunk& c) { return source.read(c); },
                            .process = [](Chunk&, NoWorkerSpace&) {},
                            .write = [&](Chunk&) { ++writes; }}));
    EXPECT_EQ(writes, 0);
}

TEST_P(OrderedChunksThreads, AFailureInProcessingReachesTheCallerAfterTheChunksBeforeIt)
{
    Source source{700};
    int lastWritten = -1;
    OrderedChunks<Chunk> chunks(GetParam());
    EXPECT_THROW(chunks.run({.read = [&](Chunk& c) { return source.read(c); },
                             .process =
                                 [](Chunk& c, NoWorkerSpace&) {
                                     if (c.first == 350)
                                         throw std::runtime_error("bad chunk");
                                 },
                             .write = [&](Chunk& c) { lastWritten = c.first; }}),
                 std::runtime_error);
    EXPECT_EQ(lastWritten, 343);  // every chunk before the failing one, and none after
}

TEST_P(OrderedChunksThreads, AFailureInWritingStopsTheWorkers)
{
    Source source{100000};
    OrderedChunks<Chunk> chunks(GetParam());
    EXPECT_THROW(chunks.run({.read = [&](Chunk& c) { return source.read(c); },
                             .process = [](Chunk&, NoWorkerSpace&) {},
                             .write = [](Chunk&) { throw std::runtime_error("disk full"); }}),
                 std::runtime_error);
    EXPECT_LT(source.next, 1000);  // stopped at once, not after reading everything
}

TEST_P(OrderedChunksThreads, StopsPromptlyWhenAsked)
{
    Source source{1'000'000};
    std::atomic<bool> stop = false;
    int writes = 0;
    int writesAtStop = -1;
    OrderedChunks<Chunk> chunks(GetParam());
    bool finished = chunks.run({.read = [&](Chunk& c) { return source.read(c); },
                                .process = [](Chunk&, NoWorkerSpace&) {},
                                .write =
                                    [&](Chunk&) {
                                        if (++writes == 10) {
                                            stop = true;
                                            writesAtStop = writes;
                                        }
                                    },
                                .stopRequested = [&] { return stop.load(); }});
    EXPECT_FALSE(finished);
    EXPECT_EQ(writes, writesAtStop);  // nothing written after the request
    EXPECT_LT(source.next, 1000);
}

}  // namespace
}  // namespace wrenfield::tabular
