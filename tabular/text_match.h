// Matching what people type against the system's own texts.
#pragma once

#include <cctype>
#include <string_view>

namespace wrenfield::tabular {

// Equal apart from the case of ASCII letters ("male" matches "Male").
inline bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace wrenfield::tabular
