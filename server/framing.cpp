#include "server/framing.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace wrenfield::server {

namespace http = boost::beast::http;

namespace {

// The codings of every Transfer-Encoding field line, in order, in lower
// case, without the blanks around them; empty list elements are skipped.
std::vector<std::string> transferCodings(const http::request_header<>& request)
{
    std::vector<std::string> codings;
    auto [first, last] = request.equal_range(http::field::transfer_encoding);
    for (auto field = first; field != last; ++field) {
        const std::string_view value(field->value().data(), field->value().size());
        std::size_t start = 0;
        while (start <= value.size()) {
            std::size_t comma = value.find(',', start);
            if (comma == std::string_view::npos)
                comma = value.size();
            std::string_view item = value.substr(start, comma - start);
            while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
                item.remove_prefix(1);
            while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
                item.remove_suffix(1);
            if (!item.empty()) {
                std::string coding(item);
                for (char& c : coding)
                    if (c >= 'A' && c <= 'Z')
                        c = static_cast<char>(c - 'A' + 'a');
                codings.push_back(std::move(coding));
            }
            start = comma + 1;
        }
    }
    return codings;
}

}  // namespace

std::optional<FramingProblem> framingProblem(const http::request_header<>& request)
{
    const std::size_t hosts = request.count(http::field::host);
    if (hosts == 0 && request.version() >= 11)
        return FramingProblem{400, "an HTTP/1.1 request must name its Host"};
    if (hosts > 1)
        return FramingProblem{400, "more than one Host header field"};

    if (request.count(http::field::transfer_encoding) == 0)
        return std::nullopt;
    if (request.version() < 11)
        return FramingProblem{400, "Transfer-Encoding in an HTTP/1.0 request: the body's length cannot be trusted"};
    if (request.count(http::field::content_length) > 0)
        return FramingProblem{400, "both Transfer-Encoding and Content-Length: the body's length is ambiguous"};
    const std::vector<std::string> codings = transferCodings(request);
    if (codings.empty() || codings.back() != "chunked")
        return FramingProblem{400, "chunked must be the final transfer coding: the body's length is ambiguous"};
    if (std::count(codings.begin(), codings.end(), "chunked") > 1)
        return FramingProblem{400, "the chunked transfer coding is applied more than once"};
    for (const std::string& coding : codings)
        if (coding != "chunked")
            return FramingProblem{501,
                                  "the transfer coding \"" + coding.substr(0, 40) +
                                      "\" is not supported: send the body chunked or with a Content-Length"};
    return std::nullopt;
}

}  // namespace wrenfield::server
