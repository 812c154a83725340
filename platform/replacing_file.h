// A file that appears only when it is complete: the text goes to a temporary
// file beside it, which replaces the target on commit(). Until then an older
// file of that name stays as it was; if the writer gives up (or throws), the
// temporary file is removed, and a terminating signal removes it too
// (temporary_files.h). A target that exists and is no regular file
// (/dev/null, a named pipe) is written directly. commit() flushes the file to
// disk before the rename and the directory after it, so that after a crash
// the name holds either the old file or the whole new one. The data starts
// its way to the disk while the file is still being written, so that the
// flush at the end is short.
//
// What the target was stays true of the new file:
// - a symbolic link stays a link: the file it leads to (through any chain of
//   links) is the one replaced;
// - an existing file keeps its owner and group (as far as this user may set
//   them), its permissions and its access control list. When its group
//   cannot be kept, the new file grants its group nothing, so that no other
//   group gains access to what was private;
// - a new file gets the permissions asked for less the umask (or the
//   directory's default access control list).
//
// Every failure names the file and the system's reason ("cannot write
// out.csv: No space left on device").
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/disk_file_buffer.h"
#include "platform/temporary_files.h"

namespace wrenfield {

class ReplacingFile {
public:
    // Throws std::system_error when the temporary file cannot be created.
    // Removes the temporary files of dead processes from the directory first.
    explicit ReplacingFile(std::string path, int mode = 0666);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    std::ostream& stream() { return stream_; }
    const std::string& temporaryPath() const { return temporary_; }
    // The file that commit() replaces: the path, with its links followed.
    const std::string& targetPath() const { return target_; }
    // The system's error number of the first write that failed, or 0.
    int writeError() const noexcept { return buffer_ ? buffer_->error() : 0; }

    // Closes the temporary file, flushes it to disk and renames it onto the
    // target. Throws std::system_error when writing, flushing or renaming
    // failed (the target is then unchanged).
    void commit();

private:
    void createTemporary(int mode);

    std::string path_;           // as given: named in messages
    std::string target_;         // with its links followed
    std::string directory_;      // of the target, with its ending '/'; empty: the current one
    std::string name_;           // of the target, within the directory
    std::string temporaryName_;  // within the directory; empty when writing directly
    std::string temporary_;      // directory_ + temporaryName_
    int directoryFd_ = -1;
    std::unique_ptr<DiskFileBuffer> buffer_;
    std::optional<TemporaryFileGuard> guard_;
    std::ostream stream_{nullptr};
    bool committed_ = false;
};

}  // namespace wrenfield
