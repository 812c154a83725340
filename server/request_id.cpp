#include "server/request_id.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <random>

namespace wrenfield::server {

std::string requestIdProblem(std::string_view id)
{
    if (id.empty() || id.size() > kMaxRequestIdLength)
        return "X-Request-Id: from 1 to " + std::to_string(kMaxRequestIdLength) + " characters, not " +
            std::to_string(id.size());
    for (char c : id)
        if (c < '!' || c > '~')
            return "X-Request-Id: only visible ASCII characters (! to ~), no blanks or control characters";
    return {};
}

std::string newRequestId()
{
    // splitmix64 of a random start plus a counter: a bijection, so no two
    // calls of one process give the same id.
    static const std::uint64_t start = [] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    }();
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t z = start + 0x9e3779b97f4a7c15ULL * (counter.fetch_add(1, std::memory_order_relaxed) + 1);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(z));
    return text;
}

}  // namespace wrenfield::server
