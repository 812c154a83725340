// Conversions between the UTF-8 texts of the engine and the UTF-16 texts of
// the component model. A unit sequence that is not valid UTF-16 (a lone
// surrogate) or not valid UTF-8 becomes U+FFFD, so that no text is dropped
// silently and none can be misread as a number.
#pragma once

#include <string>
#include <string_view>

namespace wrenfield {

std::string utf8FromUtf16(std::u16string_view text);
std::u16string utf16FromUtf8(std::string_view text);

}  // namespace wrenfield
