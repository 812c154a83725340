// What a request's header says about where its body ends, checked before any
// of the body is read. Where two readings are possible (a Transfer-Encoding
// beside a Content-Length, a coding after chunked), the service and a proxy
// in front of it could disagree on where the next request begins, and a
// request could be hidden in another's body: such a request is refused and
// its connection closed, as RFC 9112 requires.
#pragma once

#include <optional>
#include <string>

#include <boost/beast/http/message.hpp>

namespace wrenfield::server {

struct FramingProblem {
    unsigned status;  // 400, or 501 for a transfer coding the service does not know
    std::string detail;
};

// Nothing when the header is sound: an HTTP/1.1 request names exactly one
// Host; a Transfer-Encoding (in HTTP/1.1 only, without Content-Length) ends
// with chunked, applied once, and holds no coding but chunked.
std::optional<FramingProblem> framingProblem(const boost::beast::http::request_header<>& request);

}  // namespace wrenfield::server
