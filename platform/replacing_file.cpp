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
        stream_.open(path_, std::ios::binary | std::ios::out);
        if (!stream_)
            fail(errno, "cannot open " + path_);
        return;
    }
    // Beside the target, so that the rename stays within one file system.
    std::string::size_type slash = path_.rfind('/');
    directory_ = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    for (int attempt = 0;; ++attempt) {
        temporary_ = directory_ + "." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        // Created afresh, with the permissions asked for less the umask.
        int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST || attempt >= 100)
            fail(errno, "cannot create " + temporary_);
    }
    stream_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        int error = errno;
        std::remove(temporary_.c_str());
        fail(error, "cannot open " + temporary_);
    }
}

ReplacingFile::~ReplacingFile()
{
    if (!committed_ && !temporary_.empty()) {
        stream_.close();
        std::remove(temporary_.c_str());
    }
}

void ReplacingFile::commit()
{
    stream_.flush();
    stream_.close();
    if (!stream_)
        fail(EIO, "cannot write " + (temporary_.empty() ? path_ : temporary_));
    if (temporary_.empty()) {
        committed_ = true;
        return;
    }
    if (!flushToDisk(temporary_, O_RDONLY))
        fail(errno, "cannot flush " + temporary_ + " to disk");
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        fail(errno, "cannot rename " + temporary_ + " to " + path_);
    committed_ = true;
    // The rename itself lasts once the directory is on disk. The new file is
    // in place either way; a directory that cannot be flushed is no error.
    flushToDisk(directory_.empty() ? "." : directory_, O_RDONLY | O_DIRECTORY);
}

}  // namespace wrenfield
