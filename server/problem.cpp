#include "server/problem.h"

#include <nlohmann/json.hpp>

namespace wrenfield::server {

std::string_view statusTitle(unsigned status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 415:
        return "Unsupported Media Type";
    case 422:
        return "Unprocessable Content";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    }
    return "Error";
}

Response problem(unsigned status, std::string detail, std::optional<std::string> field)
{
    nlohmann::json doc = {
        {"type", "about:blank"},
        {"title", statusTitle(status)},
        {"status", status},
        {"detail", std::move(detail)},
    };
    if (field)
        doc["field"] = *field;
    return {
        status, std::string(kProblemJson), doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), {}, {}};
}

}  // namespace wrenfield::server
