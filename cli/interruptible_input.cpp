#include "cli/interruptible_input.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "cli/interrupt.h"

namespace wrenfield::cli {

namespace {
// How long one wait for input lasts before the interrupt flag is looked at again.
constexpr int kWaitSliceMs = 100;
}  // namespace

InterruptibleInput::InterruptibleInput(int fd, std::size_t bufferBytes)
    : fd_(fd)
    , buffer_(bufferBytes)
{
    setg(buffer_.data(), buffer_.data(), buffer_.data());
}

std::size_t InterruptibleInput::readSome(char* to, std::size_t size)
{
    for (;;) {
        if (InterruptWatch::interrupted())
            return 0;
        pollfd waiting{fd_, POLLIN, 0};
        int ready = ::poll(&waiting, 1, kWaitSliceMs);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        ssize_t got = ::read(fd_, to, size);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0) {
            // The stream turns this into its bad bit; the number stays here for the message.
            error_ = errno;
            throw std::system_error(error_, std::generic_category(), "cannot read the input");
        }
        return static_cast<std::size_t>(got);
    }
}

InterruptibleInput::int_type InterruptibleInput::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    const std::size_t got = readSome(buffer_.data(), buffer_.size());
    if (got == 0)
        return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
}

std::streamsize InterruptibleInput::xsgetn(char* to, std::streamsize count)
{
    std::streamsize done = std::min<std::streamsize>(egptr() - gptr(), count);
    std::memcpy(to, gptr(), static_cast<std::size_t>(done));
    gbump(static_cast<int>(done));
    while (count - done >= static_cast<std::streamsize>(buffer_.size())) {
        const std::size_t got = readSome(to + done, static_cast<std::size_t>(count - done));
        if (got == 0)
            return done;
        done += static_cast<std::streamsize>(got);
    }
    return done + std::streambuf::xsgetn(to + done, count - done);
}

}  // namespace wrenfield::cli
