// The whole-line reading of a plain line's fields with AVX2: compiled for
// AVX2 with BMI 1 and POPCNT, run only where the processor has them and not
// the AVX-512 reading (plainFieldShape decides).
//
// A line of fewer than 32 bytes is classed at once by compares: digits,
// points, delimiters, its end. Where the delimiters, the points and the end
// lie is the line's layout, and a file of births has only a few of them
// (four digits of weight, three of days, a weight with one decimal...). Each
// layout met is worked out once into byte shuffles that set every input's
// digits right-aligned in a lane of eight bytes of its own, and the powers of
// ten its decimals divide by; LineLayouts keeps the ones met lately. A line
// of a known layout is then read in a few vector steps: its input bytes
// checked as digits, shuffled into the lanes, each lane's eight digits made
// one whole number (pairs, fours, then the eight), made a double exactly and
// divided by its power of ten: the very division scanPlainDecimal makes, so
// the value is the same double. Any other line is the byte reading's.
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tabular/plain_fields.h"

namespace wrenfield::tabular::avx2 {

namespace {

// The first four inputs, then the other three, are stored as the lanes of a
// vector (they lie in kInputColumns order: batch_kernel.h).

constexpr unsigned kLineBytes = 32;
constexpr std::int8_t kZero = -128;  // a shuffle index that gives a zero byte
constexpr unsigned kMostDigits = 8;  // in a lane
constexpr double kPowersOfTen[kMostDigits] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};

std::uint32_t below(unsigned bit) noexcept
{
    return bit >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << bit) - 1;
}

std::uint32_t bitsOf(__m256i matches) noexcept
{
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(matches));
}

std::size_t slotOf(std::uint64_t key) noexcept
{
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15) >> 58) % LineLayouts::kCount;
}

// The layout of a line with these delimiters, points and length (its
// delimiters' count already checked against the roles): readable, or not
// when an input field is not one of one to eight digits with at most one
// point that has a digit on each side.
void workOut(const PlainFieldShape& shape, std::uint32_t delimiters, std::uint32_t points, unsigned length,
             LineLayout& layout) noexcept
{
    layout.readable = false;
    std::memset(layout.shuffle, kZero, sizeof layout.shuffle);
    for (double& divisor : layout.divisor)
        divisor = 1;
    layout.inputBytes = 0;
    layout.hasPopulation = false;
    layout.countDecimals = false;
    unsigned start = 0;
    for (const std::uint8_t role : shape.roles) {
        const unsigned stop = delimiters != 0 ? static_cast<unsigned>(std::countr_zero(delimiters)) : length;
        delimiters &= delimiters - 1;
        const std::uint32_t field = below(stop) & ~below(start);
        if (role == kPopulationField) {
            layout.hasPopulation = true;
            layout.populationStart = static_cast<std::uint8_t>(start);
            layout.populationLength = static_cast<std::uint8_t>(stop - start);
        } else if (role < reading::kInputFieldCount) {
            const std::uint32_t point = points & field;
            const unsigned digits = stop - start - static_cast<unsigned>(std::popcount(point));
            if (digits == 0 || digits > kMostDigits || std::popcount(point) > 1)
                return;
            const unsigned at = point != 0 ? static_cast<unsigned>(std::countr_zero(point)) : stop;
            if (point != 0 && (at == start || at == stop - 1))
                return;
            const unsigned decimals = point != 0 ? stop - 1 - at : 0;
            layout.inputBytes |= field & ~point;
            layout.divisor[role] = kPowersOfTen[decimals];
            layout.countDecimals |= role >= 4 && decimals != 0;
            // Lane `role`'s bytes: the digits right-aligned, zeros before them.
            unsigned to = 8 * role + kMostDigits - digits;
            for (unsigned from = start; from < stop; ++from) {
                if (from == at)
                    continue;  // the point
                // Byte `to` of the two registers of lanes takes byte `from`
                // of the line: from its first sixteen bytes or its last.
                const unsigned half = from < 16 ? 0 : 1;
                layout.shuffle[half][to] = static_cast<std::int8_t>(from % 16);
                ++to;
            }
        }
        start = stop + 1;
    }
    layout.readable = true;
}

// What scanLineFields reads of one line; inlined into the reading of
// many lines, where the constants stay in registers from line to line.
[[gnu::always_inline]] inline const char* readLine(const PlainFieldShape& shape, LineLayouts& layouts,
                                                   const char* const line, const char* const end,
                                                   engine::CentileInputs& inputs, std::string_view& population) noexcept
{
    const auto left = static_cast<std::size_t>(end - line);
    // Near the end of the text the line is read from a copy, zeros after
    // it: no byte at or beyond `end` is read.
    alignas(32) char copy[kLineBytes];
    const char* text = line;
    if (left < kLineBytes) {
        std::memset(copy, 0, sizeof copy);
        std::memcpy(copy, line, left);
        text = copy;
    }
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
    const std::uint32_t feeds = bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n')));
    unsigned length;  // of the line's fields, without its break
    if (feeds != 0)
        length = static_cast<unsigned>(std::countr_zero(feeds));
    else if (left < kLineBytes)
        length = static_cast<unsigned>(left);
    else
        return nullptr;  // a line of 32 bytes or more
    const std::uint32_t returns = bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r'))) & below(length);
    if (returns != 0) {
        // CR LF ends a line; any other carriage return is the byte reading's to judge.
        if (feeds == 0 || returns != std::uint32_t{1} << (length - 1))
            return nullptr;
        --length;
    }
    const std::uint32_t within = below(length);
    const std::uint32_t delimiters = bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(shape.delimiter))) & within;
    const std::uint32_t points = bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('.'))) & within;
    // '0' to '9'; bytes from 0x80 up compare as negative, below '0'.
    const std::uint32_t digits = bitsOf(_mm256_and_si256(_mm256_cmpgt_epi8(bytes, _mm256_set1_epi8('0' - 1)),
                                                         _mm256_cmpgt_epi8(_mm256_set1_epi8('9' + 1), bytes)));

    // The line's layout, from the memo or worked out now. The end's bit
    // tells lines of different lengths apart, and is never 0.
    const std::uint64_t key = (delimiters | std::uint64_t{1} << length) | std::uint64_t{points} << 32;
    LineLayout& layout = layouts.layouts[slotOf(key)];
    if (layout.key != key) {
        if (static_cast<std::size_t>(std::popcount(delimiters)) + 1 != shape.roles.size())
            return nullptr;
        workOut(shape, delimiters, points, length, layout);
        layout.key = key;
    }
    if (!layout.readable || (layout.inputBytes & ~digits) != 0)
        return nullptr;

    // The digits into their lanes: the line's first sixteen bytes in both
    // halves of one register, its last sixteen in both halves of another,
    // each shuffled within its halves.
    const __m256i values = _mm256_sub_epi8(bytes, _mm256_set1_epi8('0'));
    const __m256i first = _mm256_permute2x128_si256(values, values, 0x00);
    const __m256i last = _mm256_permute2x128_si256(values, values, 0x11);
    auto lanes = [&](unsigned part) {
        const auto* shuffle = reinterpret_cast<const __m256i*>(layout.shuffle[0] + 32 * part);
        const auto* shuffleLast = reinterpret_cast<const __m256i*>(layout.shuffle[1] + 32 * part);
        return _mm256_or_si256(_mm256_shuffle_epi8(first, _mm256_loadu_si256(shuffle)),
                               _mm256_shuffle_epi8(last, _mm256_loadu_si256(shuffleLast)));
    };
    // Eight digits a lane to one whole number: pairs, fours, then the eight.
    auto wholeNumbers = [](__m256i digitLanes) {
        const __m256i pairs = _mm256_maddubs_epi16(digitLanes, _mm256_set1_epi16(0x010A));  // 10 × first + second
        const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));      // 100 × first + second
        return _mm256_add_epi64(_mm256_mul_epu32(fours, _mm256_set1_epi64x(10000)), _mm256_srli_epi64(fours, 32));
    };
    // Made a double exactly (below 2^52: by its bits over those of 2^52).
    auto doubles = [](__m256i whole) {
        const __m256d twoTo52 = _mm256_set1_pd(0x1p52);
        return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(whole, _mm256_castpd_si256(twoTo52))), twoTo52);
    };
    const __m256i measured = wholeNumbers(lanes(0));
    // A zero among the measurements is the byte reading's (and the rules') to
    // refuse: told from the whole numbers, without waiting for the division;
    // the reading's values are then admissible, and nothing stored here is
    // read back while its store may still be on its way to the cache.
    if (_mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(measured, _mm256_setzero_si256()))) != 0)
        return nullptr;
    _mm256_storeu_pd(&inputs.bwt, _mm256_div_pd(doubles(measured), _mm256_loadu_pd(layout.divisor)));
    // The counts (sex, eth, par) are whole numbers in a file of births.
    __m256d counts = doubles(wholeNumbers(lanes(1)));
    if (layout.countDecimals)
        counts = _mm256_div_pd(counts, _mm256_loadu_pd(layout.divisor + 4));
    _mm_storeu_pd(&inputs.sex, _mm256_castpd256_pd128(counts));
    _mm_store_sd(&inputs.par, _mm256_extractf128_pd(counts, 1));
    if (layout.hasPopulation)
        population = {line + layout.populationStart, layout.populationLength};
    return line + length;
}

}  // namespace

const char* scanLineFields(const PlainFieldShape& shape, LineLayouts& layouts, const char* const line,
                           const char* const end, engine::CentileInputs& inputs, std::string_view& population) noexcept
{
    return readLine(shape, layouts, line, end, inputs, population);
}

std::size_t scanCommonLines(const PlainFieldShape& shape, LineLayouts& layouts, const char* const begin,
                            const char*& line, const char* const end, const engine::Population population,
                            PlainLine* const lines, engine::BatchRecord* const records, const std::int32_t firstRecord,
                            const std::size_t room) noexcept
{
    std::size_t read = 0;
    const char* at = line;
    std::string_view unused;
    while (read < room && at != end) {
        engine::BatchRecord& record = records[read];
        const char* const fieldsEnd = readLine(shape, layouts, at, end, record.inputs, unused);
        if (fieldsEnd == nullptr)
            break;
        const char* const next = nextLineAfter(fieldsEnd, end);
        if (next == nullptr)
            break;
        record.population = population;
        lines[read] = {static_cast<std::uint32_t>(at - begin), static_cast<std::uint32_t>(fieldsEnd - at),
                       static_cast<std::uint32_t>(next - at), firstRecord + static_cast<std::int32_t>(read)};
        ++read;
        at = next;
    }
    line = at;
    return read;
}

}  // namespace wrenfield::tabular::avx2
