// Ctrl-C, a polite kill or a dropped terminal during a long run: while an
// InterruptWatch lives, SIGINT, SIGTERM and SIGHUP only raise a flag that the
// run checks between chunks, so that it can stop promptly and clean up (no
// half-written output file is left behind). A second signal before the run
// has stopped ends the program at once, after removing the temporary files.
// The former handlers come back when the watch ends.
#pragma once

#include <csignal>

namespace wrenfield::cli {

class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Whether a signal has come since the watch began.
    static bool interrupted() noexcept;
    // The signal that came (SIGINT, SIGTERM or SIGHUP), or 0.
    static int signalNumber() noexcept;

private:
    struct sigaction formerInt_ {};
    struct sigaction formerTerm_ {};
    struct sigaction formerHup_ {};
};

}  // namespace wrenfield::cli
