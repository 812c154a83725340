#include "server/query_string.h"

#include <unordered_set>

#include "platform/ascii_text.h"

namespace wrenfield::server {

namespace {

std::optional<std::string> decode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int hi = hexDigitValue(text[i + 1]), lo = hexDigitValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::optional<Target> splitTarget(std::string_view target)
{
    Target result;
    std::size_t question = target.find('?');
    result.path = target.substr(0, question);
    if (question == std::string_view::npos)
        return result;
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        if (pair.empty())
            continue;
        std::size_t eq = pair.find('=');
        auto name = decode(pair.substr(0, eq));
        auto value = decode(eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1));
        if (!name || !value)
            return std::nullopt;
        result.parameters.emplace_back(std::move(*name), std::move(*value));
    }
    return result;
}

std::optional<std::string> repeatedParameter(const Target& target)
{
    std::unordered_set<std::string_view> seen;
    for (const auto& [name, value] : target.parameters)
        if (!seen.insert(name).second)
            return name;
    return std::nullopt;
}

}  // namespace wrenfield::server
