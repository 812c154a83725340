// X-Request-Id: a caller's name for one request, echoed in the answer and
// written to the access log, so that one request can be followed through the
// caller's logs and the service's. A request without one gets one of the
// service's making.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wrenfield::server {

inline constexpr std::string_view kRequestIdHeader = "X-Request-Id";
// At most this many characters, each visible ASCII (! to ~): nothing that
// could split or forge a log line, or be mistaken for health data's length.
inline constexpr std::size_t kMaxRequestIdLength = 128;
// The same rule, for the OpenAPI document.
inline constexpr std::string_view kRequestIdPattern = "^[!-~]{1,128}$";

// Why `id` cannot be used as a request id, or the empty text.
std::string requestIdProblem(std::string_view id);

// A new id: 16 hexadecimal digits, different for every call in this
// process and, with a random start, between processes.
std::string newRequestId();

}  // namespace wrenfield::server
