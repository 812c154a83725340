#include "platform/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace wrenfield {

namespace {

[[noreturn]] void fail(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

// Flushes a file or directory to disk; false (with errno) when that fails.
bool flushToDisk(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool flushed = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return flushed;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path, int mode) : path_(std::move(path))
{
    // A target that is no regular file (/dev/null, a named pipe, a terminal)
    // is written as it is: renaming a file over it would replace the device
    // or the pipe itself.
    struct stat target {};
    if (::stat(path_.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            fail(errno, "cannot open " + path_);
        buffer_ = std::make_unique<DiskFileBuffer>(fd, 0);
        stream_.rdbuf(buffer_.get());
        return;
    }
    // Beside the target, so that the rename stays within one file system.
    std::string::size_type slash = path_.rfind('/');
    directory_ = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    for (int attempt = 0;; ++attempt) {
        temporary_ = directory_ + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        // Created afresh, with the permissions asked for less the umask.
        const int fd =
            ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0) {
            buffer_ = std::make_unique<DiskFileBuffer>(fd);
            stream_.rdbuf(buffer_.get());
            return;
        }
        if (errno != EEXIST || attempt >= 100)
            fail(errno, "cannot create " + temporary_);
    }
}

ReplacingFile::~ReplacingFile()
{
    stream_.rdbuf(nullptr);
    buffer_.reset();
    if (!committed_ && !temporary_.empty())
        std::remove(temporary_.c_str());
}

void ReplacingFile::commit()
{
    const std::string& written = temporary_.empty() ? path_ : temporary_;
    stream_.flush();
    if (!stream_)
        fail(EIO, "cannot write " + written);
    if (!temporary_.empty() && !buffer_->flushToDisk())
        fail(errno, "cannot flush " + written + " to disk");
    if (!buffer_->close())
        fail(errno, "cannot write " + written);
    if (temporary_.empty()) {
        committed_ = true;
        return;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        fail(errno, "cannot rename " + temporary_ + " to " + path_);
    committed_ = true;
    // The rename itself lasts once the directory is on disk. The new file is
    // in place either way; a directory that cannot be flushed is no error.
    flushToDisk(directory_.empty() ? "." : directory_, O_RDONLY | O_DIRECTORY);
}

}  // namespace wrenfield
