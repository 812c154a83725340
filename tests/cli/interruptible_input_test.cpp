// The input buffer of long runs: every byte comes through once and in order
// whatever the sizes of the reads asked for and of the pieces the input
// arrives in (large requests go straight into the caller's memory, small
// ones through the buffer), and a failing read is an error, never an end.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <istream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "cli/interruptible_input.h"

namespace wrenfield::cli {
namespace {

std::string sampleText(std::size_t bytes)
{
    std::string text(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
    return text;
}

TEST(InterruptibleInput, EveryByteOnceAndInOrder)
{
    ::signal(SIGPIPE, SIG_IGN);  // a writer left alone is told by its write failing
    const std::string text = sampleText(100'003);
    constexpr std::size_t kBuffer = 64;
    // The reads asked for: below, at and above the buffer's size, and mixed.
    const std::size_t requests[][3] = {{1, 1, 1}, {63, 64, 65}, {64, 64, 64}, {1000, 7, 4096}, {5, 70000, 3}};
    for (const auto& sizes : requests) {
        for (const std::size_t piece : {std::size_t{1000}, std::size_t{65536}}) {
            int ends[2];
            ASSERT_EQ(::pipe(ends), 0);
            std::thread writer([&] {
                for (std::size_t at = 0; at < text.size(); at += piece)
                    if (::write(ends[1], text.data() + at, std::min(piece, text.size() - at)) <= 0)
                        break;  // the reader gave up
                ::close(ends[1]);
            });
            InterruptibleInput buffer(ends[0], kBuffer);
            std::istream in(&buffer);
            std::string read;
            // (Bounded: a buffer that gave bytes twice must not read forever.)
            for (std::size_t n = 0; in && read.size() <= text.size(); ++n) {
                std::string part(sizes[n % 3], '\0');
                in.read(part.data(), static_cast<std::streamsize>(part.size()));
                read.append(part, 0, static_cast<std::size_t>(in.gcount()));
            }
            ::close(ends[0]);
            writer.join();
            EXPECT_TRUE(in.eof());
            EXPECT_FALSE(in.bad());
            EXPECT_EQ(read, text) << sizes[0] << " " << sizes[1] << " " << sizes[2] << ", pieces of " << piece;
        }
    }
}

TEST(InterruptibleInput, AFailingReadIsAnError)
{
    const int directory = ::open("/", O_RDONLY);
    ASSERT_GE(directory, 0);
    for (const std::size_t request : {std::size_t{10}, std::size_t{100000}}) {
        InterruptibleInput buffer(directory, 64);
        std::istream in(&buffer);
        std::string part(request, '\0');
        in.read(part.data(), static_cast<std::streamsize>(part.size()));
        EXPECT_TRUE(in.bad()) << request;
        EXPECT_EQ(buffer.error(), EISDIR) << request;
    }
    ::close(directory);
}

}  // namespace
}  // namespace wrenfield::cli
