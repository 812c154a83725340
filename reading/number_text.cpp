#include "reading/number_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

// Dragonbox, from fmt's headers alone: the library itself is not linked.
#define FMT_HEADER_ONLY
#include <fmt/format.h>

namespace wrenfield::reading {

namespace {

// The digits of 0 to 99 in pairs: the exponent's.
constexpr char kTwoDigits[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                              "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                              "8081828384858687888990919293949596979899";

// The number of decimal digits of n (at least 1), without a loop: the
// count of its bits gives it to within one, a table of powers settles it.
int digitCount(std::uint64_t n) noexcept
{
    static constexpr std::uint64_t kPowers[] = {1ULL,
                                                10ULL,
                                                100ULL,
                                                1000ULL,
                                                10000ULL,
                                                100000ULL,
                                                1000000ULL,
                                                10000000ULL,
                                                100000000ULL,
                                                1000000000ULL,
                                                10000000000ULL,
                                                100000000000ULL,
                                                1000000000000ULL,
                                                10000000000000ULL,
                                                100000000000000ULL,
                                                1000000000000000ULL,
                                                10000000000000000ULL,
                                                100000000000000000ULL,
                                                1000000000000000000ULL,
                                                10000000000000000000ULL};
    const int bits = std::bit_width(n | 1);
    const int guess = (bits * 1233) >> 12;  // 1233 / 4096 is just above log10(2)
    return guess + (n >= kPowers[guess] ? 1 : 0);
}

// Eight digits of n (below 10^8), leading zeros included, at `out`, all in
// one 64-bit word: n splits into its halves of four digits, each half into
// two pairs, each pair into two digits, one multiplication a step; then the
// bytes are put in reading order and made characters.
inline void writeEightDigits(char* out, std::uint32_t n) noexcept
{
    const std::uint64_t halves = n + (0x100000000 - 10000) * ((n * std::uint64_t{0x68db8bb}) >> 40);
    const std::uint64_t pairs = halves + (0x10000 - 100) * (((halves * 0x147b) >> 19) & 0x7f0000007f);
    const std::uint64_t digits = pairs + (0x100 - 10) * (((pairs * 0x67) >> 10) & 0xf000f000f000f);
    const std::uint64_t ordered = std::endian::native == std::endian::little ? __builtin_bswap64(digits) : digits;
    const std::uint64_t text = ordered | 0x3030303030303030;
    std::memcpy(out, &text, sizeof text);
}

// The significand's digits (at most 17: 24 with leading zeros) and room
// after them, so that the layout below can copy a fixed number of bytes.
struct Digits {
    char text[48];
    const char* first;  // the most significant digit
};

void spellDigits(std::uint64_t n, int count, Digits& digits) noexcept
{
    constexpr std::uint64_t kEight = 100000000;
    writeEightDigits(digits.text, static_cast<std::uint32_t>(n / (kEight * kEight)));
    writeEightDigits(digits.text + 8, static_cast<std::uint32_t>(n / kEight % kEight));
    writeEightDigits(digits.text + 16, static_cast<std::uint32_t>(n % kEight));
    digits.first = digits.text + 24 - count;
}

}  // namespace

char* writeShortest(char* first, double value) noexcept
{
    if (!std::isfinite(value))
        return std::to_chars(first, first + kShortestTextRoom, value).ptr;
    char* p = first;
    if (std::signbit(value)) {
        *p++ = '-';
        value = -value;
    }
    if (value == 0) {
        *p++ = '0';
        return p;
    }
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    const int count = digitCount(decimal.significand);
    Digits digits;
    spellDigits(decimal.significand, count, digits);
    // Copies of kCopy bytes from digits.first take every digit and some
    // bytes after them, which later writes cover or leave past the end.
    constexpr std::size_t kCopy = 17;
    // The value is 0.d1d2...dn times 10^point.
    const int point = count + decimal.exponent;
    const int exponent = point - 1;  // of d1.d2...dn
    const int absExponent = exponent < 0 ? -exponent : exponent;
    const int scientificLength = count + (count > 1 ? 1 : 0) + 2 + (absExponent >= 100 ? 3 : 2);
    const int fixedLength = point <= 0 ? 2 - point + count : point < count ? count + 1 : point;
    if (fixedLength <= scientificLength) {
        if (point <= 0) {
            const auto zeros = static_cast<std::size_t>(-point);
            std::memcpy(p, "0.", 2);
            std::memset(p + 2, '0', zeros);
            std::memcpy(p + 2 + zeros, digits.first, kCopy);
            return p + 2 + zeros + count;
        }
        if (point < count) {
            std::memcpy(p, digits.first, kCopy);
            std::memcpy(p + point + 1, digits.first + point, kCopy);
            p[point] = '.';
            return p + count + 1;
        }
        // A whole number: its digits and zeros to the decimal point. From
        // 2^53 on, std::to_chars writes the double's exact whole value
        // instead, which may end in other digits than zeros: leave those to it.
        constexpr double kExactWhole = 9007199254740992.0;  // 2^53
        if (value >= kExactWhole)
            return std::to_chars(first, first + kShortestTextRoom, first == p ? value : -value).ptr;
        std::memcpy(p, digits.first, kCopy);
        std::memset(p + count, '0', static_cast<std::size_t>(point - count));
        return p + point;
    }
    p[0] = digits.first[0];
    if (count > 1) {
        p[1] = '.';
        std::memcpy(p + 2, digits.first + 1, kCopy);
        p += count + 1;
    } else {
        p += 1;
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    if (absExponent >= 100) {
        *p++ = static_cast<char>('0' + absExponent / 100);
        std::memcpy(p, kTwoDigits + (absExponent % 100) * 2, 2);
    } else {
        std::memcpy(p, kTwoDigits + absExponent * 2, 2);
    }
    return p + 2;
}

}  // namespace wrenfield::reading
