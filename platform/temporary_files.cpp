#include "platform/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace wrenfield {

namespace {

constexpr std::string_view kMarker = ".tmp-";

// The list the signal handler reads: plain arrays and lock-free flags, since
// a handler may touch nothing else.
constexpr int kSlots = 32;
enum SlotState : int { kFree = 0, kFilling = 1, kListed = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    int directoryFd = -1;
    char name[NAME_MAX + 1] = {};
};
Slot slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free flags");

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGTERM};

extern "C" void removeThenEnd(int signal)
{
    const int savedErrno = errno;
    removeTemporaryFiles();
    // End as the signal would have ended the process without this handler.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signal, &byDefault, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);  // the C library's, not wrenfield::raise
    errno = savedErrno;
}

// "123" as a process id; false for anything else.
bool processId(std::string_view digits, pid_t& pid)
{
    if (digits.empty() || digits.size() > 9)
        return false;
    long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    pid = static_cast<pid_t>(value);
    return value > 0;
}

// The process id in a name of the form ".NAME.tmp-PID-N", if it is one.
bool temporaryFileProcess(std::string_view name, pid_t& pid)
{
    if (name.size() < 2 || name.front() != '.')
        return false;
    const std::size_t marker = name.rfind(kMarker);
    if (marker == std::string_view::npos || marker < 2)
        return false;
    std::string_view rest = name.substr(marker + kMarker.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos)
        return false;
    const std::string_view attempt = rest.substr(dash + 1);
    const bool attemptIsNumber =
        !attempt.empty() && attempt.size() <= 3 && attempt.find_first_not_of("0123456789") == std::string_view::npos;
    return attemptIsNumber && processId(rest.substr(0, dash), pid);
}

bool processExists(pid_t pid)
{
    // EPERM: it exists, and belongs to someone else.
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

}  // namespace

std::string temporaryFileName(std::string_view target, int attempt)
{
    return "." + std::string(target) + std::string(kMarker) + std::to_string(::getpid()) + "-" +
        std::to_string(attempt);
}

TemporaryFileGuard::TemporaryFileGuard(int directoryFd, const std::string& name)
{
    if (name.size() > NAME_MAX)
        return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling))
            continue;
        slots[i].directoryFd = directoryFd;
        std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
        slots[i].state.store(kListed);
        slot_ = i;
        return;
    }
}

void TemporaryFileGuard::release() noexcept
{
    if (slot_ >= 0) {
        slots[slot_].state.store(kFree);
        slot_ = -1;
    }
}

void removeTemporaryFiles() noexcept
{
    for (Slot& slot : slots)
        if (slot.state.load() == kListed)
            ::unlinkat(slot.directoryFd, slot.name, 0);
}

void removeTemporaryFilesOnSignals()
{
    for (int signal : kSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0)
            continue;
        if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL)
            continue;  // the program's own handler, ours already, or ignored
        struct sigaction action {};
        action.sa_handler = removeThenEnd;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals)
            sigaddset(&action.sa_mask, other);
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

int removeStaleTemporaryFiles(int directoryFd)
{
    // A directory stream of its own, so that the caller's descriptor keeps its place.
    const int listing = ::openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return 0;
    DIR* directory = ::fdopendir(listing);
    if (!directory) {
        ::close(listing);
        return 0;
    }
    const pid_t self = ::getpid();
    const uid_t user = ::geteuid();
    int removed = 0;
    while (const dirent* entry = ::readdir(directory)) {
        pid_t pid = 0;
        if (!temporaryFileProcess(entry->d_name, pid) || pid == self || processExists(pid))
            continue;
        struct stat status {};
        if (::fstatat(directoryFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != user)
            continue;
        removed += ::unlinkat(directoryFd, entry->d_name, 0) == 0;
    }
    ::closedir(directory);
    return removed;
}

}  // namespace wrenfield
