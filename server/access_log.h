// One line on standard error per answered request: when, from where, the
// method and path (never the query or the body: they hold health data), the
// status, the bytes sent, the time taken and the request's X-Request-Id.
#pragma once

#include <chrono>
#include <string_view>

namespace wrenfield::server {

struct AccessRecord {
    std::string_view peer;    // "127.0.0.1:53012"
    std::string_view method;  // "-" when the request could not be read
    std::string_view target;  // the query is left out here
    unsigned version = 11;
    unsigned status = 0;
    std::size_t bytes = 0;
    std::chrono::steady_clock::duration elapsed{};
    std::string_view requestId;  // "-" when the request could not be read
};

// Writes the line with a single write(2), so lines from several threads never mix.
void logAccess(const AccessRecord& record);

// Lines stop (for benchmarks and tests that count nothing from the log).
void setAccessLogEnabled(bool enabled);

}  // namespace wrenfield::server
