// Input from a file descriptor (a file, a pipe, a terminal) for a long run
// that Ctrl-C must stop promptly even while it waits for data: the buffer
// waits in short slices and reports the end of the input as soon as the
// interrupt watch has caught a signal. A failing read is an error of the
// stream (its bad bit), never a silent end.
#pragma once

#include <streambuf>
#include <vector>

namespace wrenfield::cli {

class InterruptibleInput : public std::streambuf {
public:
    // Reads `fd`, which stays open (and the caller's) afterwards.
    explicit InterruptibleInput(int fd, std::size_t bufferBytes = 1 << 16);

    // The system's error number of the read that failed (EIO, EISDIR...), or 0.
    int error() const noexcept { return error_; }

protected:
    int_type underflow() override;
    // A request of at least a buffer's worth is read straight into the
    // caller's memory, after what is buffered, rather than copied through
    // the buffer.
    std::streamsize xsgetn(char* to, std::streamsize count) override;

private:
    // Reads what the input has, up to `size` bytes, into `to`, waiting in
    // slices: the bytes read, or 0 at the end of the input or on an
    // interrupt. Throws on a failing read.
    std::size_t readSome(char* to, std::size_t size);

    int fd_;
    int error_ = 0;
    std::vector<char> buffer_;
};

}  // namespace wrenfield::cli
