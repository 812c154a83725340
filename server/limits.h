// Every bound the service keeps, so that no client, however slow, large or
// numerous, can hold more than its share of memory, time or connections.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace wrenfield::server {

struct ServiceLimits {
    // The request line and header fields together.
    std::size_t headerBytes = 64 * 1024;
    // The body of any request but POST /v1/centile.
    std::uint64_t bodyBytes = 64 * 1024;
    // The body of POST /v1/centile: room for the largest array of births
    // (kMaxBirths at about 400 bytes each).
    std::uint64_t centileBodyBytes = 4 * 1024 * 1024;
    // A connection with no request under way is closed after this long.
    std::chrono::milliseconds idleTimeout{15'000};
    // From a request's first byte to the last byte of its answer: a client
    // that sends or reads too slowly is cut off here.
    std::chrono::milliseconds requestDeadline{10'000};
    // Open connections at once; one more is answered 503 and closed.
    std::size_t maxConnections = 1024;
};

// Births in one POST /v1/centile.
inline constexpr std::size_t kMaxBirths = 10'000;

}  // namespace wrenfield::server
