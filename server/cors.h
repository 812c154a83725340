// Cross-origin requests: which web pages of other origins may call the
// service from a browser (a dashboard on https://ward.example.org, say).
// None by default: a browser then lets no page but the service's own read
// its answers. The origins are given when the service starts
// (custcent serve --cors-origin).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wrenfield::server {

// What a browser's preflight may cache, in seconds.
inline constexpr int kCorsMaxAge = 600;
// The request header fields a page may send beyond the simple ones.
inline constexpr std::string_view kCorsAllowHeaders = "Content-Type, X-Request-Id";
// The response header fields a page may read beyond the simple ones.
inline constexpr std::string_view kCorsExposeHeaders = "X-Request-Id, Retry-After, Allow";

class CorsPolicy {
public:
    // No origin: no CORS header fields at all.
    CorsPolicy() = default;
    // Each origin as a browser sends it ("https://ward.example.org",
    // "http://localhost:3000": scheme, host and port, no path), or "*" for
    // every origin. Throws std::invalid_argument saying which is not one.
    explicit CorsPolicy(const std::vector<std::string>& origins);

    bool enabled() const { return any_ || !origins_.empty(); }
    bool allows(std::string_view origin) const;

    using HeaderFields = std::vector<std::pair<std::string, std::string>>;

    // The CORS header fields of an answer with `status` to a request from
    // `origin` (empty: none sent), with `preflightMethod` the
    // Access-Control-Request-Method of an OPTIONS request (empty: not a
    // preflight), and `allow` the resource's methods.
    HeaderFields headersFor(std::string_view origin, std::string_view method, std::string_view preflightMethod,
                            unsigned status, std::string_view allow) const;

private:
    std::vector<std::string> origins_;  // in lower case
    bool any_ = false;
};

// Why `origin` is not an origin a browser sends, or nothing.
std::string originProblem(std::string_view origin);

}  // namespace wrenfield::server
