// The form's UTF-8 texts as the platform's UTF-16 strings, and back.
#pragma once

#include <string>
#include <string_view>

#include "platform/utf16_text.h"

namespace wrenfield::windows {

inline std::wstring wideText(std::string_view utf8)
{
    const std::u16string units = utf16FromUtf8(utf8);
    return std::wstring(units.begin(), units.end());
}

inline std::string utf8Text(std::wstring_view wide)
{
    return utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}

}  // namespace wrenfield::windows
