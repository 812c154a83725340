// Numbers in text and text of numbers. The decimal point is always ".",
// whatever the user's locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wrenfield {

// The number a numeric text holds, as a variant converts it: blanks and tabs
// around it, an optional sign, digits with an optional "." fraction (or a
// fraction alone), an optional exponent ("e" or "E", optional sign, digits).
// Anything else, the zero-length text included, is a type mismatch; a number
// too large for a double is an overflow; one too small becomes 0.
double numberFromText(std::string_view text);

// The same conversion for a text that numberFromText reads without raising
// an error and whose value lies within the double range; nothing for any
// other text (which numberFromText would reject, or turn into an overflow or
// an underflow to 0). For callers with a fast path that leave every unusual
// text to the variant's own conversion.
std::optional<double> numberFromTextInRange(std::string_view text) noexcept;

// The value of a plain decimal text: an optional "-", digits, and an
// optional "." with more digits ("3135", "-0.25"), with at most 15 digits in
// all and nothing around it. Such a number is an exact whole number divided
// by an exact power of ten, so one division rounds it correctly: the result
// is the very double numberFromText gives. Nothing for any other text.
std::optional<double> plainDecimalValue(std::string_view text) noexcept;

// The numeric value of a text as the form reads its lists: blanks, tabs and
// line feeds anywhere in the text are skipped, and the longest leading part
// that reads as a decimal number (optional sign, digits, optional "." with
// further digits) gives the value; a text without one gives 0. A value too
// large for a double is an overflow.
double leadingNumberValue(std::string_view text);

// A whole number written in plain decimal digits: no decimal point, no
// leading zeros or blanks, a "-" only for a negative value ("56", "100").
std::string wholeNumberText(double wholeNumber);

// The shortest decimal text that reads back to the same double ("38.22164104630743").
std::string shortestText(double value);

}  // namespace wrenfield
