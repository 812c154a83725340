// Customised centiles for columns of values, as arrays and data frames hold
// them: the column adapter of the reading layer. A column is either numbers
// (one double per row, NaN for a missing value) or texts reduced to their
// distinct values (a name, "39+4", "3.4kg", a missing-value marker), read with
// the input vocabulary. Every row is a birth read by the reading layer (the
// rules of admission, then the reading of many births), so its centile,
// band, flags and error are what the same birth gets through any other front
// end.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/coefficient_set.h"
#include "reading/result.h"
#include "reading/vocabulary.h"
#include "tabular/batch.h"

namespace wrenfield::tabular {

// A column of fixed-size values in memory: row r lies r × strideBytes bytes
// after `data`. A stride of 0 gives every row the same value; a negative
// stride walks backwards (a reversed array view).
template <typename T> struct StridedColumn {
    const T* data = nullptr;
    std::ptrdiff_t strideBytes = sizeof(T);

    T operator[](std::size_t row) const
    {
        const char* bytes = reinterpret_cast<const char*>(data) + static_cast<std::ptrdiff_t>(row) * strideBytes;
        return *reinterpret_cast<const T*>(bytes);
    }
};

// Texts reduced to their distinct values: row r holds texts[index[r]], or is
// missing where the index is negative.
struct TextColumn {
    std::span<const std::string> texts;
    StridedColumn<std::int64_t> index;
};

// One input: numbers (bare numbers in the field's unit of the settings'
// dialect) when `texts` is not given, else texts. Whole numbers may be
// given as they are held (int64, read in place as the nearest double)
// instead of `numbers`.
struct InputColumn {
    StridedColumn<double> numbers;
    std::optional<StridedColumn<std::int64_t>> wholeNumbers;
    std::optional<TextColumn> texts;
};

struct ColumnBatchInput {
    std::size_t rows = 0;
    std::array<InputColumn, kInputFieldCount> inputs;  // bwt, gest, wt, ht, sex, eth, par
    // The population of each row (a name or an alias, in any case); a missing
    // one or a missing-value marker takes the default. None: every row the default.
    std::optional<TextColumn> population;
    // The default population, the dialect (units, missing-value markers,
    // decimal comma) and the reading options (band thresholds, strict,
    // exact); the settings of the file's layout and added columns are not used.
    BatchSettings settings;
};

// The band of a row that has none (not computed).
inline constexpr std::uint8_t kNoBand = 0xFF;

// Where the results go, one element per row; the caller owns the memory.
// The spans after `outcome` may be empty (not wanted) or have one element per
// row.
struct ColumnBatchOutput {
    std::span<double> centile;        // percent, unrounded; NaN unless computed
    std::span<std::uint8_t> outcome;  // a reading::Outcome
    std::span<std::uint8_t> band;     // a reading::Band, or kNoBand
    std::span<double> termWeight;     // the term weight after its clamp, grams; NaN unless computed
    std::span<double> weeks;          // the gestation in weeks; NaN unless computed
    std::span<double> proportion;     // the gestation proportion; NaN unless computed
    std::span<double> expected;       // expected weight, grams; NaN unless computed
    std::span<double> spread;         // the spread, grams; NaN unless computed
    std::span<double> z;              // the birthweight's deviation in spreads; NaN unless computed
    // When given: each row's result as JSON (reading/json.h), one per row.
    std::vector<std::string>* records = nullptr;
};

// The text of one row that was not computed: "missing: gest", "Overflow",
// "unknown population: Narnia".
struct RowMessage {
    std::size_t row = 0;
    std::string text;
};

struct ColumnBatchOptions {
    // Threads that compute (1: all on the calling thread). The results are
    // the same whatever the number.
    std::size_t threads = 1;
    // Asked between chunks of rows; once it holds true the run stops and
    // returns with `stopped` set, leaving later rows as they were.
    const std::atomic<bool>* stop = nullptr;
    // Added to after every chunk: the rows finished so far, for a progress meter.
    std::atomic<std::size_t>* rowsDone = nullptr;
    // Whether to report the plausibility flags of the computed rows (and of
    // the rows strict turned into errors).
    bool flags = false;
};

struct ColumnBatchSummary {
    std::vector<RowMessage> messages;  // in row order: every row not computed
    std::vector<RowMessage> flags;     // in row order: the flags of each flagged computed row, "; "-joined
    std::size_t computed = 0;
    std::size_t missing = 0;
    std::size_t errors = 0;
    bool stopped = false;
};

// Computes every row. Throws std::invalid_argument when an output span is
// neither empty (not wanted) nor one element per row, a text index lies
// beyond its texts, or the band thresholds cannot be used. An error inside a worker thread is rethrown on
// the calling thread after every worker has finished.
ColumnBatchSummary computeColumns(const ColumnBatchInput& input, const ColumnBatchOutput& output,
                                  const ColumnBatchOptions& options = {});

}  // namespace wrenfield::tabular
