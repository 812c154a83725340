#include "cli/interruptible_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
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

InterruptibleInput::int_type InterruptibleInput::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    for (;;) {
        if (InterruptWatch::interrupted())
            return traits_type::eof();
        pollfd waiting{fd_, POLLIN, 0};
        int ready = ::poll(&waiting, 1, kWaitSliceMs);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0) {
            // The stream turns this into its bad bit; the number stays here for the message.
            error_ = errno;
            throw std::system_error(error_, std::generic_category(), "cannot read the input");
        }
        if (got == 0)
            return traits_type::eof();
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return traits_type::to_int_type(*gptr());
    }
}

}  // namespace wrenfield::cli
