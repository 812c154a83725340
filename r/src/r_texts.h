// Texts between R and the reading layer, which reads and writes UTF-8
// whatever the R session's locale ("—" in a flag, a group name typed in
// Latin-1).
#pragma once

#include <Rinternals.h>

#include <string>
#include <string_view>

namespace wrenfield::r {

// An element of a character vector (a CHARSXP) as UTF-8.
inline std::string utf8(SEXP text)
{
    return Rf_translateCharUTF8(text);
}

// A text for a character vector, marked as UTF-8.
inline SEXP utf8Text(std::string_view text)
{
    return Rf_mkCharLenCE(text.data(), static_cast<int>(text.size()), CE_UTF8);
}

}  // namespace wrenfield::r
