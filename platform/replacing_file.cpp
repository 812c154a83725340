#include "platform/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>
#include <vector>

namespace wrenfield {

namespace {

// The extended attribute that holds a file's access control list.
constexpr const char* kAccessAcl = "system.posix_acl_access";
// As many links in a row as the system itself follows.
constexpr int kMaxLinks = 40;

[[noreturn]] void fail(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

// The directory part of a path, with its ending '/' ("" for a bare name).
std::string directoryOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a path leads to: while it names a symbolic link, the link's
// target (relative to the link's own directory). A link to nothing leads to
// the file that writing through it creates.
std::string followLinks(const std::string& path, const std::string& named)
{
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return current;
        std::vector<char> target(PATH_MAX + 1);
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0)
            fail(errno, "cannot write " + named);
        if (static_cast<std::size_t>(length) >= target.size())
            fail(ENAMETOOLONG, "cannot write " + named);
        const std::string next(target.data(), static_cast<std::size_t>(length));
        current = next.front() == '/' ? next : directoryOf(current) + next;
    }
    fail(ELOOP, "cannot write " + named);
}

// Gives the new file `fd` what the existing target had: owner and group,
// access control list, permissions (in that order: a change of owner clears
// the set-id bits, and the permissions set last agree with the list's mask).
void takeOverAttributes(int fd, const std::string& target, const struct stat& old)
{
    bool groupKept = ::fchown(fd, old.st_uid, old.st_gid) == 0 || ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
    if (!groupKept) {
        struct stat created {};
        groupKept = ::fstat(fd, &created) == 0 && created.st_gid == old.st_gid;
    }

    const ssize_t size = ::getxattr(target.c_str(), kAccessAcl, nullptr, 0);
    if (size > 0) {
        std::vector<char> acl(static_cast<std::size_t>(size));
        const ssize_t read = ::getxattr(target.c_str(), kAccessAcl, acl.data(), acl.size());
        if (read > 0)
            ::fsetxattr(fd, kAccessAcl, acl.data(), static_cast<std::size_t>(read), 0);
    } else {
        // No list on the old file: none inherited from the directory's default either.
        ::fremovexattr(fd, kAccessAcl);
    }

    mode_t mode = old.st_mode & 07777;
    if (!groupKept)
        mode &= ~static_cast<mode_t>(S_IRWXG | S_ISGID);
    ::fchmod(fd, mode);
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path, int mode)
    : path_(std::move(path))
{
    if (path_.empty())
        fail(ENOENT, "cannot write an unnamed file");
    target_ = followLinks(path_, path_);
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    // A target that is no regular file (/dev/null, a named pipe, a terminal)
    // is written as it is: renaming a file over it would replace the device
    // or the pipe itself.
    if (exists && !S_ISREG(old.st_mode)) {
        const int fd = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            fail(errno, "cannot write " + path_);
        buffer_ = std::make_unique<DiskFileBuffer>(fd, 0);
        stream_.rdbuf(buffer_.get());
        return;
    }
    // Beside the target, so that the rename stays within one file system.
    directory_ = directoryOf(target_);
    name_ = target_.substr(directory_.size());
    directoryFd_ = ::open(directory_.empty() ? "." : directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directoryFd_ < 0)
        fail(errno, "cannot write " + path_);
    removeStaleTemporaryFiles(directoryFd_);
    // Until its attributes are set, a file that replaces another is private.
    createTemporary(exists ? 0600 : mode);
    if (exists)
        takeOverAttributes(buffer_->fd(), target_, old);
}

void ReplacingFile::createTemporary(int mode)
{
    for (int attempt = 0;; ++attempt) {
        temporaryName_ = temporaryFileName(name_, attempt);
        const int fd = ::openat(directoryFd_, temporaryName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                static_cast<mode_t>(mode));
        if (fd >= 0) {
            guard_.emplace(directoryFd_, temporaryName_);
            removeTemporaryFilesOnSignals();
            temporary_ = directory_ + temporaryName_;
            buffer_ = std::make_unique<DiskFileBuffer>(fd);
            stream_.rdbuf(buffer_.get());
            return;
        }
        if (errno != EEXIST || attempt >= 100) {
            const int error = errno;
            temporaryName_.clear();
            ::close(directoryFd_);
            directoryFd_ = -1;
            fail(error, "cannot write " + path_);
        }
    }
}

ReplacingFile::~ReplacingFile()
{
    stream_.rdbuf(nullptr);
    buffer_.reset();
    if (!committed_ && !temporaryName_.empty())
        ::unlinkat(directoryFd_, temporaryName_.c_str(), 0);
    guard_.reset();
    if (directoryFd_ >= 0)
        ::close(directoryFd_);
}

void ReplacingFile::commit()
{
    stream_.flush();
    // The buffer keeps the first error of any write; a stream that failed
    // otherwise (it cannot, short of a bug) counts as an input/output error.
    auto failWriting = [this] { fail(buffer_->error() ? buffer_->error() : EIO, "cannot write " + path_); };
    if (!stream_ || buffer_->error())
        failWriting();
    if (temporaryName_.empty()) {
        if (!buffer_->close())
            failWriting();
        committed_ = true;
        return;
    }
    if (!buffer_->flushToDisk() || !buffer_->close())
        failWriting();
    if (::renameat(directoryFd_, temporaryName_.c_str(), directoryFd_, name_.c_str()) != 0)
        fail(errno, "cannot replace " + path_);
    committed_ = true;
    guard_.reset();
    // The rename itself lasts once the directory is on disk. The new file is
    // in place either way; a directory that cannot be flushed is no error.
    ::fsync(directoryFd_);
}

}  // namespace wrenfield
