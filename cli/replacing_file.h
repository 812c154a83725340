// An output file that appears only when it is complete: the text goes to a
// temporary file beside it, which replaces the target on commit(). Until
// then an older file of that name stays as it was; if the writer gives up
// (or throws), the temporary file is removed. A target that exists and is
// no regular file (/dev/null, a named pipe) is written directly.
#pragma once

#include <fstream>
#include <string>

namespace wrenfield::cli {

class ReplacingFile {
public:
    // Throws std::system_error when the temporary file cannot be created.
    explicit ReplacingFile(std::string path);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    std::ostream& stream() { return stream_; }
    const std::string& temporaryPath() const { return temporary_; }

    // Closes the temporary file and renames it onto the target. Throws
    // std::system_error when writing or renaming failed.
    void commit();

private:
    std::string path_;
    std::string temporary_;
    std::ofstream stream_;
    bool committed_ = false;
};

}  // namespace wrenfield::cli
