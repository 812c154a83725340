#include <gtest/gtest.h>

#include <string>

#include "platform/small_copy.h"

namespace wrenfield {
namespace {

// Every length from none to past the largest fixed-size pair, at every
// alignment of either end: exactly the bytes asked for are copied, and the
// bytes around them are left as they were.
TEST(SmallCopy, CopiesExactlyTheBytesAskedFor)
{
    std::string source(200, '\0');
    for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<char>('A' + i % 53);
    for (std::size_t bytes = 0; bytes <= 130; ++bytes)
        for (std::size_t from = 0; from < 8; ++from)
            for (std::size_t to = 0; to < 8; ++to) {
                std::string target(200, '.');
                copySmall(target.data() + 8 + to, source.data() + from, bytes);
                std::string expected(200, '.');
                expected.replace(8 + to, bytes, source, from, bytes);
                ASSERT_EQ(target, expected) << bytes << " bytes from " << from << " to " << to;
            }
}

}  // namespace
}  // namespace wrenfield
