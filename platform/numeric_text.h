// Numbers in text and text of numbers. The decimal point is always ".",
// whatever the user's locale.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The plain decimal that starts at `p` (text before `end`), read as
// plainDecimalValue reads a whole text: the end of it, with its value in
// `value`, or nullptr when none starts there. Whatever follows it is the
// caller's to judge (a CSV reader checks for the delimiter).
inline const char* scanPlainDecimal(const char* p, const char* const end, double& value) noexcept
{
    // Every power of ten up to 10^15 is a double exactly.
    static constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr std::size_t kMostDigits = 15;  // below 2^53: the whole number is exact
    const bool negative = p != end && *p == '-';
    if (negative)
        ++p;
    std::uint64_t whole = 0;
    const char* const first = p;
    while (p != end && (*p >= '0' && *p <= '9'))
        whole = whole * 10 + static_cast<unsigned>(*p++ - '0');
    const auto digits = static_cast<std::size_t>(p - first);
    std::size_t decimals = 0;
    if (digits == 0)
        return nullptr;
    if (p != end && *p == '.') {
        const char* const point = ++p;
        while (p != end && (*p >= '0' && *p <= '9'))
            whole = whole * 10 + static_cast<unsigned>(*p++ - '0');
        decimals = static_cast<std::size_t>(p - point);
        if (decimals == 0)
            return nullptr;
    }
    if (digits + decimals > kMostDigits)
        return nullptr;
    const double magnitude =
        decimals == 0 ? static_cast<double>(whole) : static_cast<double>(whole) / kPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return p;
}

// The value of a plain decimal text: an optional "-", digits, and an
// optional "." with more digits ("3135", "-0.25"), with at most 15 digits in
// all and nothing around it. Such a number is an exact whole number divided
// by an exact power of ten, so one division rounds it correctly: the result
// is the very double numberFromText gives. Nothing for any other text.
// (Inline: a batch reads seven of them a row.)
inline std::optional<double> plainDecimalValue(std::string_view text) noexcept
{
    double value = 0;
    const char* const end = text.data() + text.size();
    return scanPlainDecimal(text.data(), end, value) == end ? std::optional<double>(value) : std::nullopt;
}

// The numeric value of a text as the form reads its lists: blanks, tabs and
// line feeds anywhere in the text are skipped, and the longest leading part
// that reads as a decimal number (optional sign, digits, optional "." with
// further digits) gives the value; a text without one gives 0. A value too
// large for a double is an overflow.
double leadingNumberValue(std::string_view text);

// A whole number written in plain decimal digits: no decimal point, no
// leading zeros or blanks, a "-" only for a negative value ("56", "100").
std::string wholeNumberText(double wholeNumber);

// The shortest decimal text that reads back to the same double
// ("38.22164104630743"), as std::to_chars writes it.
std::string shortestText(double value);

}  // namespace wrenfield
