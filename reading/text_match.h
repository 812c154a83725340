// Matching what people type against the system's own texts.
#pragma once

#include <string_view>

namespace wrenfield::reading {

// An ASCII letter in lower case; any other byte as it is. Inline, and blind
// to the C library's locale, since every row of a batch comes through here.
constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal apart from the case of ASCII letters ("male" matches "Male").
constexpr bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

}  // namespace wrenfield::reading
