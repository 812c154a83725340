// Texts between the project's UTF-8 and the component model's UTF-16 (a BSTR
// or a zero-terminated OLECHAR name), whatever the platform calls its
// 16-bit character type.
#pragma once

#include <string>
#include <string_view>

#include "platform/utf16_text.h"
#include "shell/com_platform.h"

namespace wrenfield::shell {

// A new BSTR holding the text; nullptr when memory ran out.
inline BSTR bstrFromUtf8(std::string_view utf8)
{
    const std::u16string units = utf16FromUtf8(utf8);
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(units.data()), static_cast<UINT>(units.size()));
}

// The text of a BSTR (NULL is the zero-length text).
inline std::string utf8FromBstr(BSTR text)
{
    if (!text)
        return {};
    return utf8FromUtf16({reinterpret_cast<const char16_t*>(text), SysStringLen(text)});
}

// The text of a zero-terminated name (NULL is the zero-length text).
inline std::string utf8FromOleText(const OLECHAR* text)
{
    if (!text)
        return {};
    return utf8FromUtf16(reinterpret_cast<const char16_t*>(text));
}

}  // namespace wrenfield::shell
