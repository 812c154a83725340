// Line splitting for the CSV targets' reference count: on an input with no
// double quote and no carriage return, every line is one record.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenfield::fuzzing {

inline bool isQuoteAndCrFree(std::string_view bytes)
{
    return bytes.find_first_of("\"\r") == std::string_view::npos;
}

// The lines of the input (LF ends a line), without the empty lines at the
// very end, which are no records.
inline std::vector<std::string_view> recordLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

inline std::string joinedFields(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += fields[i];
    }
    return line;
}

}  // namespace wrenfield::fuzzing
