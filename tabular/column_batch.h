// Customised centiles for columns of numbers, as arrays and data frames hold
// them: one double per row for each of the seven inputs, where NaN is a
// missing input. Rows are computed as `custcent batch` computes a file: the
// common row goes to the batch kernel, every other row to the population's
// method, so a centile, a missing input and an error come out as a batch
// row's would.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/band.h"
#include "engine/coefficient_set.h"
#include "tabular/batch.h"

namespace wrenfield::tabular {

// A column of doubles in memory: row r lies r × strideBytes bytes after
// `data`. A stride of 0 gives every row the same value; a negative stride
// walks backwards (a reversed array view).
struct NumberColumn {
    const double* data = nullptr;
    std::ptrdiff_t strideBytes = sizeof(double);

    double operator[](std::size_t row) const
    {
        const char* bytes = reinterpret_cast<const char*>(data) + static_cast<std::ptrdiff_t>(row) * strideBytes;
        return *reinterpret_cast<const double*>(bytes);
    }
};

// The population of each row, as a column of texts reduced to its distinct
// values: row r takes names[index[r]], or the default when that is negative
// or the text is empty. A text that names no population ("Narnia") gives the
// row the error "unknown population: Narnia".
struct PopulationColumn {
    std::span<const std::string> names;
    const std::int64_t* index = nullptr;  // nullptr: every row takes the default
    std::ptrdiff_t strideBytes = sizeof(std::int64_t);

    std::int64_t operator[](std::size_t row) const
    {
        const char* bytes = reinterpret_cast<const char*>(index) + static_cast<std::ptrdiff_t>(row) * strideBytes;
        return *reinterpret_cast<const std::int64_t*>(bytes);
    }
};

struct ColumnBatchInput {
    std::size_t rows = 0;
    std::array<NumberColumn, kInputColumns.size()> inputs;  // bwt, gest, wt, ht, sex, eth, par
    PopulationColumn population;
    engine::Population defaultPopulation = engine::Population::UnitedKingdom;
};

// The band of a row that has none (not computed).
inline constexpr std::uint8_t kNoBand = 0xFF;

// Where the results go, one element per row; the caller owns the memory.
// The spans after `outcome` may be empty (not wanted) or have one element per
// row. When any of them is wanted, each computed row is read as the engine
// reads a batch birth: a centile within a hair of a band threshold is then the
// one-record method's, so that its band never depends on the kernel's last bits.
struct ColumnBatchOutput {
    std::span<double> centile;           // percent, unrounded; NaN unless computed
    std::span<std::uint8_t> outcome;     // a RowOutcome
    std::span<std::uint8_t> band;        // an engine::Band, or kNoBand
    std::span<double> weeks;             // the gestation in weeks; NaN unless computed
    std::span<double> expected;          // expected weight, grams; NaN unless computed
    std::span<double> z;                 // the birthweight's deviation in spreads; NaN unless computed
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
    // Whether to find the plausibility flags of every row whose population is
    // known (inputs of rows not computed too: a mistyped unit often causes the error).
    bool flags = false;
    engine::BandThresholds thresholds;
};

struct ColumnBatchSummary {
    std::vector<RowMessage> messages;  // in row order: every row not computed
    std::vector<RowMessage> flags;     // in row order: the flags of each flagged row, "; "-joined
    std::size_t computed = 0;
    std::size_t missing = 0;
    std::size_t errors = 0;
    bool stopped = false;
};

// Computes every row. Throws std::invalid_argument when an output span is
// neither empty (a detail only) nor one element per row, a population index
// lies beyond `names`, or the band thresholds cannot be used. An error inside a worker thread is rethrown on
// the calling thread after every worker has finished.
ColumnBatchSummary computeColumns(const ColumnBatchInput& input, const ColumnBatchOutput& output,
                                  const ColumnBatchOptions& options = {});

}  // namespace wrenfield::tabular
