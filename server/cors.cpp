#include "server/cors.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace wrenfield::server {

namespace {

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

std::string originProblem(std::string_view origin)
{
    const std::string why = "not an origin: \"" + std::string(origin.substr(0, 100)) +
        "\" (expected scheme://host or scheme://host:port, with no path, or *)";
    std::size_t colon = origin.find("://");
    if (colon == std::string_view::npos || colon == 0 || origin.size() > 253 + 20)
        return why;
    std::string_view scheme = origin.substr(0, colon);
    if (!std::all_of(scheme.begin(), scheme.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        }))
        return why;
    std::string_view authority = origin.substr(colon + 3);
    if (authority.empty())
        return why;
    for (char c : authority) {
        unsigned char u = static_cast<unsigned char>(c);
        // No path, query, fragment or user; an IPv6 address in brackets.
        if (!(std::isalnum(u) || c == '-' || c == '.' || c == ':' || c == '[' || c == ']' || c == '_'))
            return why;
    }
    return {};
}

CorsPolicy::CorsPolicy(const std::vector<std::string>& origins)
{
    for (const std::string& origin : origins) {
        if (origin == "*") {
            any_ = true;
            continue;
        }
        if (std::string problem = originProblem(origin); !problem.empty())
            throw std::invalid_argument(problem);
        origins_.push_back(lowerCase(origin));
    }
}

bool CorsPolicy::allows(std::string_view origin) const
{
    if (origin.empty() || !enabled())
        return false;
    if (any_)
        return true;
    const std::string lower = lowerCase(origin);
    return std::find(origins_.begin(), origins_.end(), lower) != origins_.end();
}

CorsPolicy::HeaderFields CorsPolicy::headersFor(std::string_view origin, std::string_view method,
                                                std::string_view preflightMethod, unsigned status,
                                                std::string_view allow) const
{
    HeaderFields fields;
    if (!enabled())
        return fields;
    // The answer depends on the Origin: a cache must not give one origin's
    // answer to another.
    fields.emplace_back("Vary", "Origin");
    if (!allows(origin))
        return fields;
    fields.emplace_back("Access-Control-Allow-Origin", any_ ? std::string("*") : std::string(origin));
    if (method == "OPTIONS" && !preflightMethod.empty() && status == 204) {
        fields.emplace_back("Access-Control-Allow-Methods", std::string(allow));
        fields.emplace_back("Access-Control-Allow-Headers", std::string(kCorsAllowHeaders));
        fields.emplace_back("Access-Control-Max-Age", std::to_string(kCorsMaxAge));
    } else {
        fields.emplace_back("Access-Control-Expose-Headers", std::string(kCorsExposeHeaders));
    }
    return fields;
}

}  // namespace wrenfield::server
