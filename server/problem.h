// Answers of the API: a status, a media type and a body. Errors are problem
// documents (application/problem+json): a title from the status, a detail
// saying what was wrong, and the field at fault where there is one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfield::server {

struct Response {
    unsigned status = 200;
    std::string contentType;
    std::string body;
    std::string allow;  // the methods of the resource, for 405 and OPTIONS
    // The rest of a long body, in parts that follow `body` in this order: a
    // connection writes them as they are, without joining them first.
    std::vector<std::string> more;

    std::size_t bodySize() const
    {
        std::size_t size = body.size();
        for (const std::string& part : more)
            size += part.size();
        return size;
    }
};

inline constexpr std::string_view kJson = "application/json";
inline constexpr std::string_view kProblemJson = "application/problem+json";

std::string_view statusTitle(unsigned status);

Response problem(unsigned status, std::string detail, std::optional<std::string> field = std::nullopt);

}  // namespace wrenfield::server
