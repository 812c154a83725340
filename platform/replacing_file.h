// A file that appears only when it is complete: the text goes to a temporary
// file beside it, which replaces the target on commit(). Until then an older
// file of that name stays as it was; if the writer gives up (or throws), the
// temporary file is removed. A target that exists and is no regular file
// (/dev/null, a named pipe) is written directly. commit() flushes the file to disk before the
// rename and the directory after it, so that after a crash the name holds
// either the old file or the whole new one. The data starts its way to the
// disk while the file is still being written, so that the flush at the end
// is short.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "platform/disk_file_buffer.h"

namespace wrenfield {

class ReplacingFile {
public:
    // Throws std::system_error when the temporary file cannot be created.
    // A new file gets the permissions `mode` less the umask.
    explicit ReplacingFile(std::string path, int mode = 0666);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    std::ostream& stream() { return stream_; }
    const std::string& temporaryPath() const { return temporary_; }

    // Closes the temporary file, flushes it to disk and renames it onto the
    // target. Throws std::system_error when writing, flushing or renaming
    // failed (the target is then unchanged).
    void commit();

private:
    std::string path_;
    std::string directory_;  // with its ending '/'; empty: the current one
    std::string temporary_;
    std::unique_ptr<DiskFileBuffer> buffer_;
    std::ostream stream_{nullptr};
    bool committed_ = false;
};

}  // namespace wrenfield
