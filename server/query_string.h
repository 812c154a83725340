// The parameters after "?" in a request target, percent-decoded
// ("population=New%20Zealand&strict=true").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wrenfield::server {

struct Target {
    std::string_view path;
    std::vector<std::pair<std::string, std::string>> parameters;  // in order; "+" is a blank
};

// Nothing when a "%" is not followed by two hexadecimal digits.
std::optional<Target> splitTarget(std::string_view target);

// The name of a parameter that the query gives more than once (after
// decoding: "population" and "p%6Fpulation" are one name), if any. A
// parameter given twice is refused rather than read one way or the other.
std::optional<std::string> repeatedParameter(const Target& target);

}  // namespace wrenfield::server
