#include "platform/numeric_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/runtime_error.h"

namespace wrenfield {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Converts a text already known to be a well-formed decimal number (sign,
// digits, ".", exponent) to the nearest double, if that lies within the double
// range. from_chars is exact and ignores the locale.
std::optional<double> convertInRange(std::string_view number)
{
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0.0;
    const char* first = number.data();
    const char* last = first + number.size();
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc() && end == last)
        return negative ? -value : value;
    return std::nullopt;
}

// As convertInRange; a value outside the double range is sorted into
// overflow and underflow by the decimal exponent of its first significant
// digit.
double convertDecimal(std::string_view number)
{
    if (std::optional<double> value = convertInRange(number))
        return *value;
    std::string_view unsignedPart = number;
    bool negative = false;
    if (!unsignedPart.empty() && (unsignedPart.front() == '+' || unsignedPart.front() == '-')) {
        negative = unsignedPart.front() == '-';
        unsignedPart.remove_prefix(1);
    }

    // Out of range: find the decimal exponent of the leading significant digit.
    long long digitsBeforePoint = 0;
    long long zerosAfterPoint = 0;
    bool seenPoint = false;
    bool seenSignificant = false;
    std::size_t pos = 0;
    for (; pos < unsignedPart.size(); ++pos) {
        char c = unsignedPart[pos];
        if (c == '.') {
            seenPoint = true;
        } else if (isDigit(c)) {
            if (c != '0')
                seenSignificant = true;
            if (!seenPoint) {
                if (seenSignificant)
                    ++digitsBeforePoint;
            } else if (!seenSignificant) {
                ++zerosAfterPoint;
            }
        } else {
            break;  // the exponent
        }
    }
    long long exponent = 0;
    if (pos < unsignedPart.size()) {
        std::string_view expText = unsignedPart.substr(pos + 1);
        bool expNegative = false;
        if (!expText.empty() && (expText.front() == '+' || expText.front() == '-')) {
            expNegative = expText.front() == '-';
            expText.remove_prefix(1);
        }
        for (char c : expText) {
            exponent = exponent * 10 + (c - '0');
            if (exponent > 1'000'000'000LL)
                break;
        }
        if (expNegative)
            exponent = -exponent;
    }
    long long magnitude = exponent + (digitsBeforePoint > 0 ? digitsBeforePoint : -zerosAfterPoint);
    if (!seenSignificant || magnitude <= 0)
        return negative ? -0.0 : 0.0;  // underflow: not an error
    raise(ErrorNumber::Overflow);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The number part of a numeric text, without the blanks around it; nothing
// when the text does not read as a number. We check the grammar ourselves:
// from_chars would also take "inf", "nan" and hex.
std::optional<std::string_view> numberPart(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    std::string_view number = text.substr(begin, end - begin);

    std::size_t pos = 0;
    if (pos < number.size() && (number[pos] == '+' || number[pos] == '-'))
        ++pos;
    std::size_t digits = 0;
    while (pos < number.size() && isDigit(number[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < number.size() && number[pos] == '.') {
        ++pos;
        while (pos < number.size() && isDigit(number[pos])) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (pos < number.size() && (number[pos] == 'e' || number[pos] == 'E')) {
        ++pos;
        if (pos < number.size() && (number[pos] == '+' || number[pos] == '-'))
            ++pos;
        std::size_t expDigits = 0;
        while (pos < number.size() && isDigit(number[pos])) {
            ++pos;
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (pos != number.size())
        return std::nullopt;
    return number;
}

}  // namespace

double numberFromText(std::string_view text)
{
    std::optional<std::string_view> number = numberPart(text);
    if (!number)
        raise(ErrorNumber::TypeMismatch);
    return convertDecimal(*number);
}

std::optional<double> numberFromTextInRange(std::string_view text) noexcept
{
    if (std::optional<double> plain = plainDecimalValue(text))
        return plain;
    std::optional<std::string_view> number = numberPart(text);
    if (!number)
        return std::nullopt;
    return convertInRange(*number);
}

double leadingNumberValue(std::string_view text)
{
    // Gather the characters that count, stopping at the first one that cannot
    // continue a decimal number.
    std::string number;
    bool seenDigit = false;
    bool seenPoint = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        if ((c == '+' || c == '-') && number.empty()) {
            number += c;
        } else if (isDigit(c)) {
            number += c;
            seenDigit = true;
        } else if (c == '.' && !seenPoint) {
            number += c;
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0.0;
    return convertDecimal(number);
}

std::string wholeNumberText(double wholeNumber)
{
    if (wholeNumber == 0.0)
        return "0";  // also for -0
    // Below 2^53 in size a whole double is an integer exactly: its digits
    // are the integer's, written without the general fixed-point formatting
    // (a rounded centile is written so for every birth a door answers).
    constexpr double kExactIntegers = 9007199254740992.0;  // 2^53
    if (std::fabs(wholeNumber) < kExactIntegers && wholeNumber == std::trunc(wholeNumber)) {
        char digits[24];
        const char* const end =
            std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(wholeNumber)).ptr;
        return std::string(digits, static_cast<std::size_t>(end - digits));
    }
    char buffer[400];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, wholeNumber, std::chars_format::fixed, 0);
    if (error != std::errc())
        raise(ErrorNumber::Overflow);
    return std::string(buffer, end);
}

std::string shortestText(double value)
{
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc())
        return std::to_string(value);
    return std::string(buffer, end);
}

}  // namespace wrenfield
