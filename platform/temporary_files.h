// The temporary files that output files are written to before they replace
// their target (replacing_file.h): named ".NAME.tmp-PID-N" beside the
// target, so that whoever finds one knows which process made it.
//
// Two ways they could be left behind, and what is done about each:
// - A hang-up, an interrupt or a polite kill (SIGHUP, SIGINT, SIGTERM) while
//   one is open: the files registered here are removed by the signal handler
//   before the signal ends the process as it otherwise would.
// - A process killed outright (SIGKILL, the out-of-memory killer, a power
//   cut): the next program that writes into that directory removes the
//   temporary files whose process no longer exists.
#pragma once

#include <string>
#include <string_view>

namespace wrenfield {

// The name of the temporary file for `target` (a file name without its
// directory), the `attempt`th one of this process.
std::string temporaryFileName(std::string_view target, int attempt);

// Keeps the file `name` in the directory open as `directoryFd` on the list of
// files to remove if a terminating signal comes, from construction until
// release(). At most 32 files at once are listed; beyond that a file is
// left to the clean-up of stale files.
class TemporaryFileGuard {
public:
    TemporaryFileGuard(int directoryFd, const std::string& name);
    ~TemporaryFileGuard() { release(); }
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

    // Takes the file off the list (it was renamed or removed).
    void release() noexcept;

private:
    int slot_ = -1;
};

// Removes every listed file. Safe to call from a signal handler.
void removeTemporaryFiles() noexcept;

// Installs the handlers that remove the listed files on SIGHUP, SIGINT and
// SIGTERM, for each of those signals whose action is still the default (a
// program's own handler, or an ignored signal, is left alone: such a
// program calls removeTemporaryFiles() itself before it ends on a signal).
// The handler then lets the signal end the process as the default would.
void removeTemporaryFilesOnSignals();

// Removes, from the directory open as `directoryFd`, the temporary files of
// processes that no longer exist: regular files of this user, named as
// temporaryFileName() names them, whose process id is not in use. Returns
// how many were removed. A file of a live process, of another user, or that
// is no regular file is never touched.
int removeStaleTemporaryFiles(int directoryFd);

}  // namespace wrenfield
