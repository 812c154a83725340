// Work on a stream of chunks, spread over several threads, with the results
// handed back in the order the chunks were read. Reading and writing stay on
// the calling thread; only `process` runs on the workers. At most `inFlight`
// chunks exist at once, so memory stays bounded whatever the input's length,
// and each chunk object is reused for a later chunk once it has been written.
// Each worker also has a working space of its own (a `Space`), handed to
// `process` with every chunk it takes: room that only the work needs, kept
// once per thread rather than once per chunk in flight, and warm in that
// thread's cache from one chunk to the next.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace wrenfield::tabular {

// The working space of a worker that needs none.
struct NoWorkerSpace {};

template <class Chunk, class Space = NoWorkerSpace> class OrderedChunks {
public:
    // read(chunk): fills the chunk with what comes next; false at the end
    // (the chunk is then not processed).
    // process(chunk, space): the work, on any thread; chunks are processed
    // in any order and several at once, each with the space of the worker
    // that took it (no other chunk uses that space meanwhile).
    // write(chunk): in reading order, on the calling thread.
    // stopRequested(): asked between chunks; when true, the run stops
    // promptly: nothing more is read or written.
    struct Steps {
        std::function<bool(Chunk&)> read;
        std::function<void(Chunk&, Space&)> process;
        std::function<void(Chunk&)> write;
        std::function<bool()> stopRequested = [] { return false; };
    };

    // `threads` workers (1: everything on the calling thread).
    explicit OrderedChunks(std::size_t threads, std::size_t inFlight = 0)
        : threads_(threads < 1 ? 1 : threads)
        , slots_(inFlight ? inFlight : 2 * threads_ + 2)
        , spaces_(threads_)
    {
        if (slots_.size() < threads_ + 1)
            slots_.resize(threads_ + 1);
    }

    ~OrderedChunks() { stopWorkers(); }
    OrderedChunks(const OrderedChunks&) = delete;
    OrderedChunks& operator=(const OrderedChunks&) = delete;

    // Runs to the end of the input; false when stopped on request. An
    // exception from a step ends the run and reaches the caller (one thrown
    // by `process` when its chunk's turn to be written comes).
    bool run(const Steps& steps)
    {
        if (threads_ == 1)
            return runHere(steps);
        startWorkers(steps.process);
        std::size_t read = 0;     // chunks read so far
        std::size_t written = 0;  // chunks written so far
        bool atEnd = false;
        try {
            for (;;) {
                if (steps.stopRequested()) {
                    stopWorkers();
                    return false;
                }
                while (!atEnd && read - written < slots_.size()) {
                    if (!steps.read(slots_[read % slots_.size()].chunk)) {
                        atEnd = true;
                        break;
                    }
                    submit(read % slots_.size());
                    ++read;
                }
                if (written == read)
                    break;  // at the end, and everything written
                if (steps.stopRequested()) {
                    stopWorkers();
                    return false;
                }
                Slot& oldest = slots_[written % slots_.size()];
                waitFor(oldest);
                if (oldest.failure)
                    std::rethrow_exception(std::exchange(oldest.failure, nullptr));
                steps.write(oldest.chunk);
                ++written;
            }
        } catch (...) {
            stopWorkers();
            throw;
        }
        stopWorkers();
        return true;
    }

private:
    struct Slot {
        Chunk chunk{};
        bool done = false;
        std::exception_ptr failure;
    };

    bool runHere(const Steps& steps)
    {
        Chunk& chunk = slots_[0].chunk;
        for (;;) {
            if (steps.stopRequested())
                return false;
            if (!steps.read(chunk))
                return true;
            steps.process(chunk, spaces_[0]);
            steps.write(chunk);
        }
    }

    void startWorkers(const std::function<void(Chunk&, Space&)>& process)
    {
        stopping_ = false;
        for (Slot& slot : slots_)
            slot.done = false;
        for (std::size_t t = 0; t < threads_; ++t)
            workers_.emplace_back([this, &process, t] { work(process, spaces_[t]); });
    }

    void stopWorkers()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            queue_.clear();
        }
        wake_.notify_all();
        for (std::thread& worker : workers_)
            worker.join();
        workers_.clear();
    }

    void submit(std::size_t index)
    {
        {
            std::lock_guard lock(mutex_);
            slots_[index].done = false;
            queue_.push_back(index);
        }
        wake_.notify_one();
    }

    void waitFor(Slot& slot)
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return slot.done; });
        slot.done = false;
    }

    void work(const std::function<void(Chunk&, Space&)>& process, Space& space)
    {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
                if (stopping_)
                    return;
                index = queue_.front();
                queue_.pop_front();
            }
            Slot& slot = slots_[index];
            try {
                process(slot.chunk, space);
            } catch (...) {
                slot.failure = std::current_exception();
            }
            {
                std::lock_guard lock(mutex_);
                slot.done = true;
            }
            done_.notify_all();
        }
    }

    std::size_t threads_;
    std::vector<Slot> slots_;
    std::vector<Space> spaces_;  // one a worker
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;  // work queued, or stopping
    std::condition_variable done_;  // a chunk processed
    std::deque<std::size_t> queue_;
    bool stopping_ = false;
};

}  // namespace wrenfield::tabular
