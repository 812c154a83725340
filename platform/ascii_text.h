// Case folding of ASCII letters only, as the component model compares names
// and registry keys: the same in every locale.
#pragma once

#include <string>
#include <string_view>

namespace wrenfield {

inline std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace wrenfield
