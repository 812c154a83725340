// The service's answers, without any networking: a request's method, target,
// media type and body in, a Response out. The HTTP layer (http_service.h)
// reads requests within the limits and writes what this returns; the fuzz
// target and the tests call it directly too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "reading/result.h"

#include "server/limits.h"
#include "server/problem.h"

namespace wrenfield::server {

struct Request {
    std::string_view method;  // "GET", "POST", ...
    std::string_view target;  // "/v1/centile?population=nz"
    std::string_view contentType;
    std::string_view body;
};

// Draws the growth chart of a birth the service has read, as SVG, `width` ×
// `height` pixels (the Qt chart painter, set by the program that has it;
// this library uses no Qt). Empty: the service draws no charts and
// /v1/chart.svg answers 404.
using ChartRenderer = std::function<std::string(const reading::BirthResult& baby, int width, int height)>;

// The answer, its body whole.
Response respond(const Request& request, const ChartRenderer& chart = {});
// The same, a long body possibly in parts (Response::more), as a connection
// writes it.
Response respondInParts(const Request& request, const ChartRenderer& chart = {});

// The methods the resource at `path` answers ("GET, HEAD, OPTIONS"), as its
// Allow header field lists them, or the empty text for no resource.
std::string_view allowedMethods(std::string_view path);

// The largest body the resource at `target` accepts: the HTTP layer answers
// 413 before reading a larger one.
std::uint64_t bodyLimit(std::string_view method, std::string_view target, const ServiceLimits& limits);

}  // namespace wrenfield::server
