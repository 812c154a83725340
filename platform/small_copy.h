// Short copies of a length known only at run time, such as the repeated
// pieces of an output record (a member name, a line of input), made in at
// most two fixed-size copies that overlap instead of a call to the library's
// copy, which for such lengths costs more than the copying.
#pragma once

#include <cstddef>
#include <cstring>

namespace wrenfield {

// Copies `bytes` bytes from `from` to `to` (which do not overlap). Reads and
// writes only those bytes.
inline void copySmall(char* to, const char* from, std::size_t bytes) noexcept
{
    if (bytes >= 16) {
        if (bytes <= 32) {
            std::memcpy(to, from, 16);
            std::memcpy(to + bytes - 16, from + bytes - 16, 16);
        } else if (bytes <= 64) {
            std::memcpy(to, from, 32);
            std::memcpy(to + bytes - 32, from + bytes - 32, 32);
        } else {
            std::memcpy(to, from, bytes);
        }
    } else if (bytes >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + bytes - 8, from + bytes - 8, 8);
    } else if (bytes >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + bytes - 4, from + bytes - 4, 4);
    } else if (bytes > 0) {
        // One to three bytes: the first, the middle and the last.
        to[0] = from[0];
        to[bytes / 2] = from[bytes / 2];
        to[bytes - 1] = from[bytes - 1];
    }
}

}  // namespace wrenfield
