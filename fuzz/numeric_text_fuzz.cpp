// Numbers in text from any bytes: the form's numeric value of a text, the
// variant's conversion of a numeric text, and the batch's fast conversion.
//
// Both give a finite double or raise a run-time error they are allowed to
// raise; the form's reading never rejects a text. On a plain decimal (sign,
// digits, "." fraction) the two agree, and the texts the system writes read
// back to the number they were written from.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"

using namespace wrenfield;

namespace {

// A sign, digits and a "." fraction, nothing else (at least one digit).
bool isPlainDecimal(std::string_view text)
{
    std::size_t pos = 0, digits = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
        ++pos, ++digits;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            ++pos, ++digits;
    }
    return digits > 0 && pos == text.size();
}

std::optional<double> formValue(std::string_view text)
{
    try {
        double value = leadingNumberValue(text);
        FUZZ_CHECK(std::isfinite(value), "leadingNumberValue gave a value that is not finite");
        return value;
    } catch (const RuntimeError& e) {
        // The form's reading only fails when the number does not fit a double.
        FUZZ_CHECK(e.number() == ErrorNumber::Overflow, "leadingNumberValue raised an unexpected error");
        return std::nullopt;
    }
}

std::optional<double> variantValue(std::string_view text)
{
    try {
        double value = numberFromText(text);
        FUZZ_CHECK(std::isfinite(value), "numberFromText gave a value that is not finite");
        return value;
    } catch (const RuntimeError& e) {
        FUZZ_CHECK(e.number() == ErrorNumber::TypeMismatch || e.number() == ErrorNumber::Overflow,
                   "numberFromText raised an unexpected error");
        return std::nullopt;
    }
}

void checkRoundTrips(double value)
{
    // The shortest text reads back exactly.
    std::string text = shortestText(value);
    std::optional<double> back = variantValue(text);
    FUZZ_CHECK(back && *back == value, "shortestText does not read back to the same double");

    // A whole number is written in plain digits that the form reads back.
    double whole = std::floor(value);
    std::string digits = wholeNumberText(whole);
    FUZZ_CHECK(!digits.empty(), "wholeNumberText gave an empty text");
    for (std::size_t i = 0; i < digits.size(); ++i)
        FUZZ_CHECK((digits[i] >= '0' && digits[i] <= '9') || (i == 0 && digits[i] == '-' && digits.size() > 1),
                   "wholeNumberText wrote something besides digits");
    FUZZ_CHECK(digits == "0" || digits[digits[0] == '-' ? 1 : 0] != '0', "wholeNumberText wrote a leading zero");
    std::optional<double> wholeBack = formValue(digits);
    FUZZ_CHECK(wholeBack && *wholeBack == whole, "wholeNumberText does not read back to the same number");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);

    std::optional<double> form = formValue(text);
    std::optional<double> variant = variantValue(text);

    if (isPlainDecimal(text)) {
        // Both readings take a plain decimal whole, to the same double or the
        // same overflow.
        FUZZ_CHECK(form.has_value() == variant.has_value(), "the two readings disagree on a plain decimal");
        if (form)
            FUZZ_CHECK(*form == *variant, "the two readings give different values for a plain decimal");
    }
    if (variant && form) {
        // A text the variant takes as a number starts with that number's
        // mantissa, so the form reads the same value unless an exponent follows.
        if (text.find_first_of("eE") == std::string_view::npos && text.find('\n') == std::string_view::npos)
            FUZZ_CHECK(*form == *variant, "the readings differ on a numeric text without exponent");
    }
    // The batch's fast conversion either declines or gives exactly what the
    // variant's conversion gives.
    if (std::optional<double> fast = numberFromTextInRange(text)) {
        FUZZ_CHECK(variant.has_value(), "the fast conversion read a text the variant's conversion rejects");
        FUZZ_CHECK(std::memcmp(&*fast, &*variant, sizeof(double)) == 0, "the fast conversion gave another value");
    }

    if (form)
        checkRoundTrips(*form);
    if (variant)
        checkRoundTrips(*variant);

    // Any double from the input's bytes also survives the round trips.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        if (std::isfinite(raw))
            checkRoundTrips(raw);
    }
    return 0;
}
