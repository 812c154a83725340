// The fields of one line of a plain chunk, read where they lie: the seven
// inputs as plain decimals straight into a birth's inputs, the population's
// text as a view, other columns stepped over. Private to the batch job.
//
// scanPlainFields reads byte by byte and decides every line. Where the
// processor has AVX-512 (with its byte and compress instructions) or else
// AVX2, a line of fewer than 64 bytes whose input fields are digits with at
// most one point and at most eight digits (every reading of a birth) is read
// whole in a few vector steps instead (scanLineFields); any other line it
// leaves to the byte-by-byte reading, so what is read is the same either way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/batch_kernel.h"
#include "engine/centile_model.h"
#include "platform/numeric_text.h"
#include "reading/admission.h"
#include "reading/vocabulary.h"

namespace wrenfield::tabular {

// What each field of a line holds: one of the seven inputs (its place in
// kInputColumns, below kPopulationField), the population, or something else.
constexpr std::uint8_t kPopulationField = reading::kInputFieldCount;
constexpr std::uint8_t kOtherField = reading::kInputFieldCount + 1;

// Where each input is stored, in kInputColumns order.
inline constexpr double engine::CentileInputs::*kInputMembers[reading::kInputFieldCount] = {
    &engine::CentileInputs::bwt, &engine::CentileInputs::gestDays, &engine::CentileInputs::wt,
    &engine::CentileInputs::ht,  &engine::CentileInputs::sex,      &engine::CentileInputs::eth,
    &engine::CentileInputs::par};

// Where a line of a plain chunk lies in the chunk's text, and its record
// among the chunk's common rows (-1: the line is read the general way).
struct PlainLine {
    std::uint32_t start = 0;
    std::uint32_t length = 0;     // without the line break
    std::uint32_t withBreak = 0;  // with it
    std::int32_t record = -1;
};

// How a line is read whole: not at all (byte by byte only), or with the
// widest vector instructions the processor has for it.
enum class LineReader : std::uint8_t { Bytes, Avx2, Avx512 };

struct PlainFieldShape {
    char delimiter = ',';
    std::vector<std::uint8_t> roles;  // one a field

    // The whole-line reading used: the widest the processor has, where the
    // delimiter is ',', ';' or a tab and a line has at most 64 fields.
    LineReader reader = LineReader::Bytes;
    // For the AVX-512 reading: whether every field is an
    // input; a bit for each field (of up
    // to 64) whose kind, input or not, differs from the field before's (the
    // first's from none); the population's field (or none); and for byte j
    // of lane m (the m-th input's eight bytes; lane 7 repeats lane 0) the
    // field it comes from and the field before it (-1 for the first field).
    bool onlyInputs = false;
    std::uint64_t inputChanges = 0;
    std::size_t populationField = kNoField;
    alignas(64) std::array<std::int8_t, 64> laneField{};
    alignas(64) std::array<std::int8_t, 64> laneFieldBefore{};
    static constexpr std::size_t kNoField = static_cast<std::size_t>(-1);
};

// The shape of lines with these roles, the whole-line reading chosen where
// it may be used.
PlainFieldShape plainFieldShape(char delimiter, std::vector<std::uint8_t> roles);

// Whether this processor has what the whole-line reading needs (Bytes:
// always).
bool lineReaderSupported(LineReader reader) noexcept;

// The fields of the line at `line` (text before `end`): the end of its last
// field, with the inputs read into `inputs` and the population field's text
// in `population`; nullptr when a field is not what a common row holds (an
// input that is no plain decimal, a missing delimiter). What follows the
// last field is the caller's to judge.
inline const char* scanPlainFields(const PlainFieldShape& shape, const char* line, const char* const end,
                                   engine::CentileInputs& inputs, std::string_view& population) noexcept
{
    const char* p = line;
    const std::size_t width = shape.roles.size();
    for (std::size_t i = 0; i < width; ++i) {
        const std::uint8_t role = shape.roles[i];
        if (role < reading::kInputFieldCount) {
            p = scanPlainDecimal(p, end, inputs.*kInputMembers[role]);
            if (p == nullptr)
                return nullptr;
        } else {
            // A text field ends at the next delimiter, line feed or carriage return.
            const char* last = p;
            while (last != end && *last != shape.delimiter && *last != '\n' && *last != '\r')
                ++last;
            if (role == kPopulationField)
                population = {p, static_cast<std::size_t>(last - p)};
            p = last;
        }
        if (i + 1 < width) {
            if (p == end || *p != shape.delimiter)
                return nullptr;
            ++p;
        }
    }
    return p;
}

// Where the next line starts when a common row's last field ends at
// `fieldsEnd`: after its LF or CR LF, or at the end of the text; nullptr when
// anything else follows the last field.
inline const char* nextLineAfter(const char* fieldsEnd, const char* end) noexcept
{
    if (fieldsEnd == end)
        return end;
    if (*fieldsEnd == '\n')
        return fieldsEnd + 1;
    if (*fieldsEnd == '\r' && fieldsEnd + 1 != end && fieldsEnd[1] == '\n')
        return fieldsEnd + 2;
    return nullptr;
}

namespace avx512 {
// The whole-line reading: what readCommonFields gives where it answers, or
// nullptr where it leaves the line to the byte reading (see above). Reads
// no byte at or beyond `end`.
const char* scanLineFields(const PlainFieldShape& shape, const char* line, const char* end,
                           engine::CentileInputs& inputs, std::string_view& population) noexcept;
}  // namespace avx512

namespace avx2 {
// How the AVX2 reading reads the lines of one layout: where the delimiters,
// the points and the end of the line lie (the key: the delimiters' and the
// end's bits, then the points' above them; 0 for none), whether such a line
// is read whole, the shuffles that set each input's digits in its lane (the
// line's first sixteen bytes, then its last), the power of ten each lane
// divides by, the bytes that must be digits, and the population's text.
struct LineLayout {
    std::uint64_t key = 0;
    bool readable = false;
    bool hasPopulation = false;
    bool countDecimals = false;  // whether sex, eth or par has a point
    std::uint8_t populationStart = 0;
    std::uint8_t populationLength = 0;
    std::uint32_t inputBytes = 0;
    alignas(32) std::int8_t shuffle[2][64] = {};
    alignas(32) double divisor[8] = {};
};

// The layouts of the lines of one shape met lately, by a hash of their key:
// each reader of lines keeps its own.
struct LineLayouts {
    static constexpr std::size_t kCount = 64;
    std::array<LineLayout, kCount> layouts{};
};

// The whole-line reading with AVX2, for lines of fewer than 32 bytes: what
// readCommonFields gives where it answers, or nullptr where it leaves the
// line to the byte reading. Needs
// of the shape only its delimiter and roles, and `layouts` of this shape's
// lines alone. Reads no byte at or beyond `end`.
const char* scanLineFields(const PlainFieldShape& shape, LineLayouts& layouts, const char* line, const char* end,
                           engine::CentileInputs& inputs, std::string_view& population) noexcept;

// Many lines read whole at once, for a shape with no population field: the
// common rows from `line` on (the text starting at `begin`), each a line
// that scanLineFields reads and that ends in a line feed, CR LF or the end
// of the text, up to `room` of them. Each one's place goes to lines[k] and
// its record, of `population`, to records[k] (numbered from firstRecord);
// `line` moves past them. Stops before the first line that is no such row.
// Returns how many were read.
std::size_t scanCommonLines(const PlainFieldShape& shape, LineLayouts& layouts, const char* begin, const char*& line,
                            const char* end, engine::Population population, PlainLine* lines,
                            engine::BatchRecord* records, std::int32_t firstRecord, std::size_t room) noexcept;
}  // namespace avx2

// The fields of a common row's line: as scanPlainFields reads them, and
// nullptr also where the inputs are not admissible (valuesAdmissible). The
// whole-line reading is used where the shape chose it and it answers (the
// AVX2 one with `layouts`, the reader's own). It checks the values itself,
// so nothing it has just stored is read back while the store may still be
// on its way to the cache.
[[gnu::always_inline]] inline const char* readCommonFields(const PlainFieldShape& shape, avx2::LineLayouts& layouts,
                                                           const char* line, const char* const end,
                                                           engine::CentileInputs& inputs,
                                                           std::string_view& population) noexcept
{
#if defined(WRENFIELD_X86_64_LANES)
    if (shape.reader == LineReader::Avx512) {
        if (const char* const last = avx512::scanLineFields(shape, line, end, inputs, population))
            return last;
    } else if (shape.reader == LineReader::Avx2) {
        if (const char* const last = avx2::scanLineFields(shape, layouts, line, end, inputs, population))
            return last;
    }
#else
    (void)layouts;
#endif
    const char* const last = scanPlainFields(shape, line, end, inputs, population);
    return last != nullptr && reading::valuesAdmissible(inputs) ? last : nullptr;
}

}  // namespace wrenfield::tabular
