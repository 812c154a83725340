#include "server/shared_work.h"

#include <algorithm>
#include <atomic>

namespace wrenfield::server {

struct SharedWork::Job {
    const std::function<void(std::size_t)>* part = nullptr;
    std::size_t parts = 0;
    std::atomic<std::size_t> next{0};  // the next part nobody has taken
    std::size_t done = 0;              // parts finished (under the mutex)
    std::size_t helping = 0;           // helpers at work on this job (under the mutex)
    std::exception_ptr failure;        // the first part that threw (under the mutex)
};

SharedWork& SharedWork::helpers()
{
    static SharedWork shared(std::max(1u, std::thread::hardware_concurrency()) - 1);
    return shared;
}

SharedWork::SharedWork(std::size_t helperCount)
{
    for (std::size_t i = 0; i < helperCount; ++i)
        threads_.emplace_back([this] { help(); });
}

SharedWork::~SharedWork()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void SharedWork::run(std::size_t parts, const std::function<void(std::size_t)>& part)
{
    if (parts == 0)
        return;
    Job job;
    job.part = &part;
    job.parts = parts;
    if (parts > 1 && !threads_.empty()) {
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(&job);
        }
        wake_.notify_all();
    }
    work(job);
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&job] { return job.done == job.parts && job.helping == 0; });
    std::erase(jobs_, &job);
    if (job.failure)
        std::rethrow_exception(job.failure);
}

void SharedWork::work(Job& job)
{
    for (;;) {
        const std::size_t k = job.next.fetch_add(1);
        if (k >= job.parts)
            return;
        std::exception_ptr failure;
        try {
            (*job.part)(k);
        } catch (...) {
            failure = std::current_exception();
        }
        bool last = false;
        {
            std::lock_guard lock(mutex_);
            if (failure && !job.failure)
                job.failure = failure;
            last = ++job.done == job.parts;
        }
        if (last)
            finished_.notify_all();
    }
}

void SharedWork::help()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_)
            return;
        Job* job = jobs_.front();
        if (job->next.load() >= job->parts) {
            jobs_.pop_front();  // every part taken: its own thread finishes it
            continue;
        }
        ++job->helping;
        lock.unlock();
        work(*job);
        lock.lock();
        --job->helping;
        finished_.notify_all();
    }
}

}  // namespace wrenfield::server
