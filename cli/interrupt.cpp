#include "cli/interrupt.h"

#include <atomic>

#include "platform/temporary_files.h"

namespace wrenfield::cli {

namespace {

std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

// The first signal asks the run to stop; a second one, while the run still
// has not stopped, ends the program at once as the signal normally would.
extern "C" void noteSignal(int signal)
{
    if (caught.exchange(signal, std::memory_order_relaxed) != 0) {
        removeTemporaryFiles();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

}  // namespace

InterruptWatch::InterruptWatch()
{
    caught.store(0);
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting on a terminal or a pipe returns at once.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &formerInt_);
    sigaction(SIGTERM, &action, &formerTerm_);
    // A run started under nohup goes on when its terminal hangs up.
    sigaction(SIGHUP, nullptr, &formerHup_);
    if (formerHup_.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
}

InterruptWatch::~InterruptWatch()
{
    sigaction(SIGINT, &formerInt_, nullptr);
    sigaction(SIGTERM, &formerTerm_, nullptr);
    sigaction(SIGHUP, &formerHup_, nullptr);
}

bool InterruptWatch::interrupted() noexcept
{
    return caught.load(std::memory_order_relaxed) != 0;
}

int InterruptWatch::signalNumber() noexcept
{
    return caught.load(std::memory_order_relaxed);
}

}  // namespace wrenfield::cli
