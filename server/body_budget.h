// The room for large request bodies that all connections share, with a cap
// for each client address, so that neither many large bodies nor one client
// opening many connections can exhaust the service's memory or keep the
// others out.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace wrenfield::server {

class BodyBudget {
public:
    BodyBudget(std::uint64_t total, std::uint64_t perAddress)
        : total_(total)
        , perAddress_(perAddress)
    {}

    // Reserves `bytes` for a client at `address`; false, reserving nothing,
    // when the whole budget or that address's share would be exceeded.
    bool reserve(const std::string& address, std::uint64_t bytes);
    // Gives back what reserve() took.
    void release(const std::string& address, std::uint64_t bytes);

    std::uint64_t inUse() const;

private:
    const std::uint64_t total_;
    const std::uint64_t perAddress_;
    mutable std::mutex mutex_;
    std::uint64_t inUse_ = 0;
    std::unordered_map<std::string, std::uint64_t> byAddress_;
};

}  // namespace wrenfield::server
