#include "reading/number_text.h"
#include "reading/number_text_lanes.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

// Dragonbox, from fmt's headers alone: the library itself is not linked.
// Its whole table of powers of ten (about 10 KB) is used as it stands,
// rather than one entry in 27 with the others rebuilt by two 128-bit
// multiplications each time.
#define FMT_HEADER_ONLY
#define FMT_USE_FULL_CACHE_DRAGONBOX 1
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
    const int bits = std::bit_width(n | 1);
    const int guess = (bits * 1233) >> 12;  // 1233 / 4096 is just above log10(2)
    return guess + (n >= kPowersOfTen[static_cast<std::size_t>(guess)] ? 1 : 0);
}

// The eight digits of n (below 10^8), leading zeros included, as one 64-bit
// word whose bytes in memory are the characters in reading order: n splits
// into its halves of four digits, each half into two pairs, each pair into
// two digits, one multiplication a step; then the bytes are put in reading
// order and made characters.
inline std::uint64_t eightDigitText(std::uint32_t n) noexcept
{
    const std::uint64_t halves = n + (0x100000000 - 10000) * ((n * std::uint64_t{0x68db8bb}) >> 40);
    const std::uint64_t pairs = halves + (0x10000 - 100) * (((halves * 0x147b) >> 19) & 0x7f0000007f);
    const std::uint64_t digits = pairs + (0x100 - 10) * (((pairs * 0x67) >> 10) & 0xf000f000f000f);
    const std::uint64_t ordered = std::endian::native == std::endian::little ? __builtin_bswap64(digits) : digits;
    return ordered | 0x3030303030303030;
}

// The layouts below store text words as they lie in registers.
static_assert(std::endian::native == std::endian::little);

using Text16 = unsigned __int128;  // sixteen characters, the first in the lowest byte

inline void store(char* out, Text16 text) noexcept
{
    std::memcpy(out, &text, sizeof text);
}

// The significand's digits (1 to 17 of them), held in registers: the digits
// are only ever stored, never read back from memory, where reading bytes
// just written by other stores would wait for them to reach the cache.
struct Digits {
    int count;
    char lead;    // the first digit when there are 17, else unused
    Text16 body;  // the other digits (all of them when there are 16 or fewer), from its first byte
};

// The digits of a significand of `count` digits from the text of its first
// one (`lead`) and of the sixteen after it: `middle`, the first eight of
// those, and `last`, each eight characters in reading order, leading zeros
// included. (Inlined: the digits stay in registers to their stores.)
[[gnu::always_inline]] inline Digits digitsOf(int count, char lead, std::uint64_t middle, std::uint64_t last) noexcept
{
    Digits digits;
    digits.count = count;
    digits.lead = lead;
    // Drop the leading zeros of the sixteen: a shift toward the first byte.
    const int inBody = count < 16 ? count : 16;
    digits.body = (static_cast<Text16>(last) << 64 | middle) >> (8 * (16 - inBody));
    return digits;
}

[[gnu::always_inline]] inline Digits spellDigits(std::uint64_t n, int count) noexcept
{
    constexpr std::uint64_t kEight = 100000000;
    return digitsOf(count, static_cast<char>('0' + n / (kEight * kEight)),
                    eightDigitText(static_cast<std::uint32_t>(n / kEight % kEight)),
                    eightDigitText(static_cast<std::uint32_t>(n % kEight)));
}

// Writes the digits at q and returns q + count; up to 17 bytes from q are
// written, the ones after the digits for later writes to cover or leave.
char* putDigits(char* q, const Digits& digits) noexcept
{
    char* const end = q + digits.count;
    if (digits.count == 17)
        *q++ = digits.lead;
    store(q, digits.body);
    return end;
}

// Writes the digits with a "." after the first `point` of them (0 < point <
// count) and returns the end; up to 34 bytes from q are written.
[[gnu::always_inline]] inline char* putPointed(char* q, const Digits& digits, int point) noexcept
{
    char* const end = q + digits.count + 1;
    // The 17th digit's lead is written without a branch (about half of all
    // centiles have 17 digits, the others 16): when there is none, the
    // body's first digit covers it.
    const int lead = digits.count == 17 ? 1 : 0;
    *q = digits.lead;
    q += lead;
    point -= lead;
    store(q, digits.body);                             // the digits before the point, and more
    store(q + point + 1, digits.body >> (8 * point));  // the digits after it
    q[point] = '.';
    return end;
}

// Numbers below 100,000 that are a whole number of tenths, as readings are
// (3400 g, 280 days, 74.6 kg, 36 weeks), written without the general
// search: if k / 10 (k whole, correctly rounded) is the value, the digits of
// k are its shortest text, since no other decimal of as few digits lies
// within the spacing of doubles this small (below 2e-11). Fixed notation is
// then never longer than scientific: "99999.9", "10000", "0.5".
constexpr double kFewTenthsBelow = 100000;

// The text at p and its end, or nullptr when the value (positive, below
// kFewTenthsBelow) is not so.
char* writeTenths(char* p, double value) noexcept
{
    // Most values are far from any tenth (a centile): told at once, without
    // the division. A value that is a tenth lies within 1e-9 of it, times 10.
    const double scaled = value * 10;
    const auto tenths = static_cast<std::uint32_t>(scaled + 0.5);
    if (std::fabs(scaled - static_cast<double>(tenths)) > 1e-6 || static_cast<double>(tenths) / 10 != value)
        return nullptr;
    const std::uint32_t whole = tenths / 10;
    const int digits = whole == 0 ? 1 : digitCount(whole);  // "0.5"
    const std::uint64_t text = eightDigitText(whole) >> (8 * (8 - digits));
    std::memcpy(p, &text, sizeof text);
    p += digits;
    if (const std::uint32_t tenth = tenths % 10; tenth != 0) {
        p[0] = '.';
        p[1] = static_cast<char>('0' + tenth);
        p += 2;
    }
    return p;
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
    if (value < kFewTenthsBelow)
        if (char* const end = writeTenths(p, value))
            return end;
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    const int count = digitCount(decimal.significand);
    const Digits digits = spellDigits(decimal.significand, count);
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
            return putDigits(p + 2 + zeros, digits);
        }
        if (point < count)
            return putPointed(p, digits, point);
        // A whole number: its digits and zeros to the decimal point. From
        // 2^53 on, std::to_chars writes the double's exact whole value
        // instead, which may end in other digits than zeros: leave those to it.
        constexpr double kExactWhole = 9007199254740992.0;  // 2^53
        if (value >= kExactWhole)
            return std::to_chars(first, first + kShortestTextRoom, first == p ? value : -value).ptr;
        char* const end = putDigits(p, digits);
        std::memset(end, '0', static_cast<std::size_t>(point - count));
        return p + point;
    }
    p = count > 1 ? putPointed(p, digits, 1) : putDigits(p, digits);
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

namespace {

// Fixed notation for a value from 0.001 to 10^7 that is no whole number
// (-2 <= point < count), never longer there than scientific: d.ddd to
// ddddddd.ddd, or below 1 "0." with up to two zeros before the digits.
// Writes up to 21 bytes from first and returns the text's end.
char* putFixed(char* first, const Digits& digits, int point) noexcept
{
    if (point > 0)
        return putPointed(first, digits, point);
    std::memcpy(first, "0.00", 4);
    return putDigits(first + 2 - point, digits);
}

}  // namespace

char* writeShortestCentile(char* first, double value) noexcept
{
    if (!(value >= 0.001 && value < 100))
        return writeShortest(first, value);
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    const int count = digitCount(decimal.significand);
    const int point = count + decimal.exponent;  // -2 to 2
    if (point >= count)                          // a whole number
        return writeShortest(first, value);
    return putFixed(first, spellDigits(decimal.significand, count), point);
}

namespace {

// Below this size writeShortest writes nothing beyond the 32 bytes from
// its start (a text of at most 12 digits before the point, and the 16 bytes
// after it that its last store covers).
constexpr double kWrittenWithinSlot = 1e12;
static_assert(NumberTexts::kSlot >= 32);

// One value's text into its slot, as writeShortest writes it. Written in
// place where it stays within the slot: a text written into other memory
// and copied from there at once would be read back before its stores have
// reached the cache, which costs more than writing it.
void slotText(double value, char* slot, std::uint8_t& length) noexcept
{
    if (std::fabs(value) < kWrittenWithinSlot) {
        std::memset(slot, 0, NumberTexts::kSlot);
        length = static_cast<std::uint8_t>(writeShortestCentile(slot, value) - slot);
        return;
    }
    char text[kShortestTextRoom] = {};
    length = static_cast<std::uint8_t>(writeShortest(text, value) - text);
    std::memcpy(slot, text, NumberTexts::kSlot);
}

#if defined(WRENFIELD_X86_64_LANES)
// Dragonbox's figures for each binade the lanes take, from fmt's table.
NumberBinades numberBinades() noexcept
{
    namespace dragonbox = fmt::detail::dragonbox;
    constexpr int kappa = dragonbox::float_info<double>::kappa;
    NumberBinades binades;
    for (int b = 0; b < NumberBinades::kCount; ++b) {
        const int exponent = NumberBinades::kFirstExponent + b - 52;  // of the whole significand's last bit
        const int minusK = dragonbox::floor_log10_pow2(exponent) - kappa;
        const auto cache = dragonbox::cache_accessor<double>::get_cached_power(-minusK);
        binades.cacheHigh[b] = cache.high();
        binades.cacheLow[b] = cache.low();
        binades.beta[b] = static_cast<std::uint64_t>(exponent + dragonbox::floor_log2_pow10(-minusK));
        binades.minusK[b] = static_cast<std::uint64_t>(static_cast<std::int64_t>(minusK));
    }
    return binades;
}

const NumberBinades& binadesForLanes() noexcept
{
    static const NumberBinades binades = numberBinades();
    return binades;
}

// Eight values for the lanes: `values` itself when it holds eight, else its
// `count` and 1.5 (laid out and not used) in the places after them.
const double* eightValues(const double* values, std::size_t count, double (&eight)[NumberTexts::kCount]) noexcept
{
    if (count == NumberTexts::kCount)
        return values;
    std::memcpy(eight, values, count * sizeof(double));
    for (std::size_t k = count; k < NumberTexts::kCount; ++k)
        eight[k] = 1.5;
    return eight;
}

unsigned layNumberTextsInLanes(const double* values, std::size_t count, NumberTexts& texts) noexcept
{
    double eight[NumberTexts::kCount];
    return avx512::layNumberTexts(eightValues(values, count, eight), binadesForLanes(), texts) & ((1U << count) - 1);
}

// With AVX2: the digits found in the lanes, each text laid out from them as
// writeShortestCentile lays out its own, in its slot (every byte of it
// written); the returned bits mark the slots left.
unsigned layNumberTextsInAvx2Lanes(const double* values, std::size_t count, NumberTexts& texts) noexcept
{
    double eight[NumberTexts::kCount];
    avx2::LaneDigits lanes;
    const unsigned every = (1U << count) - 1;
    const unsigned laid = avx2::shortestDigits(eightValues(values, count, eight), binadesForLanes(), lanes) & every;
    for (unsigned each = laid; each != 0; each &= each - 1) {
        const auto k = static_cast<std::size_t>(std::countr_zero(each));
        const Digits digits = digitsOf(static_cast<int>(lanes.count[k]), static_cast<char>(lanes.lead[k]),
                                       lanes.middle[k], lanes.last[k]);
        char* const slot = texts.text[k];
        std::memset(slot, 0, NumberTexts::kSlot);
        char* p = slot;
        if (std::signbit(values[k]))
            *p++ = '-';
        texts.length[k] = static_cast<std::uint8_t>(putFixed(p, digits, static_cast<int>(lanes.point[k])) - slot);
    }
    return ~laid & every;
}
#endif

}  // namespace

bool numberTextLanesSupported() noexcept
{
#if defined(WRENFIELD_X86_64_LANES)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vbmi");
#else
    return false;
#endif
}

namespace {

#if defined(WRENFIELD_X86_64_LANES)
// Whether this processor runs the AVX-512 lanes, and the AVX2 ones: asked of
// it once.
bool lanesRun() noexcept
{
    static const bool run = numberTextLanesSupported();
    return run;
}
bool avx2LanesRun() noexcept
{
    static const bool run = engine::simdLevelSupported(engine::SimdLevel::Avx2);
    return run;
}
#endif

// The slots the lanes left (the bits of `left`), each written alone.
void writeLeft(const double* values, unsigned left, NumberTexts& texts) noexcept
{
    for (; left != 0; left &= left - 1) {
        const auto k = static_cast<std::size_t>(std::countr_zero(left));
        slotText(values[k], texts.text[k], texts.length[k]);
    }
}

}  // namespace

unsigned layNumberTexts(const double* values, std::size_t count, NumberTexts& texts, engine::SimdLevel level) noexcept
{
#if defined(WRENFIELD_X86_64_LANES)
    if (level == engine::SimdLevel::Avx512 && lanesRun())
        return layNumberTextsInLanes(values, count, texts);
    if (level >= engine::SimdLevel::Avx2 && avx2LanesRun())
        return layNumberTextsInAvx2Lanes(values, count, texts);
#endif
    (void)values;
    (void)texts;
    (void)level;
    return (1U << count) - 1;
}

unsigned layNumberTexts(const double* values, std::size_t count, NumberTexts& texts) noexcept
{
    return layNumberTexts(values, count, texts, engine::SimdLevel::Avx512);
}

void writeNumberTexts(const double* values, std::size_t count, NumberTexts& texts, engine::SimdLevel level) noexcept
{
    writeLeft(values, layNumberTexts(values, count, texts, level), texts);
}

void writeNumberTexts(const double* values, std::size_t count, NumberTexts& texts) noexcept
{
    writeLeft(values, layNumberTexts(values, count, texts), texts);
}

}  // namespace wrenfield::reading
