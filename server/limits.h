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
    // The body of any request but POST /v1/centile. Every connection may
    // always read a body this large (one at a time): it is the connection's
    // own room, which no other client can take away, so that a small
    // request is never turned away because large ones fill the budget below.
    std::uint64_t bodyBytes = 64 * 1024;
    // The body of POST /v1/centile: room for the largest array of births
    // (kMaxBirths at about 400 bytes each).
    std::uint64_t centileBodyBytes = 4 * 1024 * 1024;
    // Bodies larger than bodyBytes being read at once, all clients
    // together: each reserves its announced length (a chunked one, its
    // resource's limit once it outgrows bodyBytes) or is answered 503.
    std::uint64_t largeBodyBudget = 64 * 1024 * 1024;
    // The part of that budget one client address may hold, so that a few
    // clients cannot take all of it.
    std::uint64_t addressBodyBudget = 16 * 1024 * 1024;
    // A connection with no request under way is closed after this long.
    std::chrono::milliseconds idleTimeout{15'000};
    // From a request's first byte to the last byte of its answer: a client
    // that sends or reads too slowly is cut off here.
    std::chrono::milliseconds requestDeadline{10'000};
    // A body that stops arriving for this long is cut off, and its room in
    // the budget given back, well before the request's deadline.
    std::chrono::milliseconds bodyStallTimeout{3'000};
    // Open connections at once; one more is answered 503 and closed.
    std::size_t maxConnections = 1024;
};

// Births in one POST /v1/centile.
inline constexpr std::size_t kMaxBirths = 10'000;

}  // namespace wrenfield::server
