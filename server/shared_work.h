// Helper threads that a request may share its work with: a large array of
// births is computed and written in parts, by the thread that answers it and
// by whichever helpers are free. The helpers are few (one less than the
// cores) and shared by every request, so that many large requests at once
// make no more threads; a request never waits for a helper, since its own
// thread takes every part no helper has taken.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace wrenfield::server {

class SharedWork {
public:
    // The helpers of the process: one less than the cores.
    static SharedWork& helpers();

    explicit SharedWork(std::size_t helperCount);
    ~SharedWork();
    SharedWork(const SharedWork&) = delete;
    SharedWork& operator=(const SharedWork&) = delete;

    // Runs part(0) ... part(parts - 1), each once, on this thread and on free
    // helpers; returns when all are done. An exception from a part is
    // rethrown here once every part has finished.
    void run(std::size_t parts, const std::function<void(std::size_t)>& part);

private:
    struct Job;
    void help();
    void work(Job& job);

    std::mutex mutex_;
    std::condition_variable wake_;      // a job queued, or stopping
    std::condition_variable finished_;  // a part done, or a helper left a job
    std::deque<Job*> jobs_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

}  // namespace wrenfield::server
