#include "platform/disk_file_buffer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wrenfield {

namespace {
constexpr std::size_t kBufferBytes = std::size_t{64} << 10;
}  // namespace

DiskFileBuffer::DiskFileBuffer(int fd, std::size_t writeBackBytes)
    : fd_(fd)
    , writeBackBytes_(writeBackBytes)
    , buffer_(kBufferBytes)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DiskFileBuffer::~DiskFileBuffer()
{
    close();
}

bool DiskFileBuffer::writeAll(const char* text, std::size_t count)
{
    while (count > 0 && error_ == 0) {
        const ssize_t done = ::write(fd_, text, count);
        if (done < 0) {
            if (errno != EINTR)
                error_ = errno;
            continue;
        }
        text += done;
        count -= static_cast<std::size_t>(done);
        written_ += static_cast<std::uint64_t>(done);
    }
#if defined(__linux__)
    // Ask for the new part to go to the disk in the background; the final
    // flush then has little left to wait for. Only a request: its failure
    // changes nothing.
    if (error_ == 0 && writeBackBytes_ > 0 && written_ - writtenBackTo_ >= writeBackBytes_) {
        ::sync_file_range(fd_, static_cast<off_t>(writtenBackTo_), static_cast<off_t>(written_ - writtenBackTo_),
                          SYNC_FILE_RANGE_WRITE);
        writtenBackTo_ = written_;
    }
#endif
    return error_ == 0;
}

bool DiskFileBuffer::drain()
{
    const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return pending == 0 || writeAll(buffer_.data(), pending);
}

DiskFileBuffer::int_type DiskFileBuffer::overflow(int_type c)
{
    if (!drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize DiskFileBuffer::xsputn(const char* text, std::streamsize count)
{
    const auto size = static_cast<std::size_t>(count);
    if (size <= static_cast<std::size_t>(epptr() - pptr())) {
        std::memcpy(pptr(), text, size);
        pbump(static_cast<int>(size));
        return count;
    }
    // A large piece goes straight to the file, after what is buffered.
    if (!drain() || !writeAll(text, size))
        return 0;
    return count;
}

int DiskFileBuffer::sync()
{
    return drain() ? 0 : -1;
}

bool DiskFileBuffer::flushToDisk()
{
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    if (!drain() || error_ != 0 || ::fsync(fd_) != 0) {
        if (error_ == 0)
            error_ = errno;
        errno = error_;
        return false;
    }
    return true;
}

bool DiskFileBuffer::close()
{
    if (fd_ < 0)
        return error_ == 0;
    drain();
    if (::close(fd_) != 0 && error_ == 0)
        error_ = errno;
    fd_ = -1;
    errno = error_;
    return error_ == 0;
}

}  // namespace wrenfield
