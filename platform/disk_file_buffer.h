// The output buffer of a file on disk, written with the system's own calls
// so that the file's data can start its way to the disk while the rest is
// still being written: every few megabytes the system is asked to begin
// writing back what it holds (it does so in the background), so that the
// flush at the end waits only for the last part instead of the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <vector>

namespace wrenfield {

class DiskFileBuffer : public std::streambuf {
public:
    // Takes ownership of `fd`, open for writing. `writeBackBytes`: how much
    // is written between two requests to begin writing back (0: never).
    explicit DiskFileBuffer(int fd, std::size_t writeBackBytes = std::size_t{2} << 20);
    ~DiskFileBuffer() override;
    DiskFileBuffer(const DiskFileBuffer&) = delete;
    DiskFileBuffer& operator=(const DiskFileBuffer&) = delete;

    // Writes what is buffered and closes the file; false (with errno) when
    // a write or the close failed, now or earlier.
    bool close();
    // Writes what is buffered and waits until the file is on the disk;
    // false (with errno) when that failed.
    bool flushToDisk();
    int fd() const noexcept { return fd_; }
    // The system's error number of the first write, flush or close that
    // failed (ENOSPC, EFBIG, EIO...), or 0.
    int error() const noexcept { return error_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool writeAll(const char* text, std::size_t count);
    bool drain();

    int fd_;
    std::size_t writeBackBytes_;
    std::vector<char> buffer_;
    std::uint64_t written_ = 0;        // bytes handed to the system so far
    std::uint64_t writtenBackTo_ = 0;  // where the last write-back request ended
    int error_ = 0;                    // the first error, kept until close()
};

}  // namespace wrenfield
