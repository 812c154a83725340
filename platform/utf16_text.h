// Conversions between the UTF-8 texts of the engine and the UTF-16 texts of
// the component model. A unit sequence that is not valid UTF-16 (a lone
// surrogate) or not valid UTF-8 becomes U+FFFD, so that no text is dropped
// silently and none can be misread as a number.
#pragma once

#include <string>
#include <string_view>

namespace wrenfield {

// The character that stands for a unit sequence that is no character.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

std::string utf8FromUtf16(std::u16string_view text);
std::u16string utf16FromUtf8(std::string_view text);

// Appends the UTF-8 form of the character `c` (at most U+10FFFF) to `out`.
void appendUtf8(std::string& out, char32_t c);

}  // namespace wrenfield
