// Customised centiles for a file of births: one CSV record in, one out. The
// CSV adapter of the reading layer: each row's fields are read with the
// input vocabulary, and the rows of a chunk go through the reading of many
// births (reading/births.h), so a row gets exactly what the same birth gets
// through any other front end.
//
// The work is split into three steps that know nothing of each other, so that
// rows are computed in chunks on several threads: reading records
// (CsvReader), computing the rows of a chunk from their fields, and writing
// each record with its centile and error (writeRow).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/coefficient_set.h"
#include "reading/births.h"
#include "reading/fields.h"
#include "reading/result.h"
#include "reading/vocabulary.h"
#include "tabular/csv.h"

namespace wrenfield::tabular {

struct PlainFieldShape;  // plain_fields.h

using reading::BirthResult;
using reading::kInputColumns;
using reading::kInputFieldCount;

// The columns every input file needs are kInputColumns (reading/vocabulary.h),
// in the order the methods take them; the population column is optional.
inline constexpr std::string_view kPopulationColumn = "population";

// The name of a column a run adds: the result field's snake_case name
// ("expected_weight", "band_label").
std::string addedColumnName(reading::ResultField column);

// How a file is read and what the run adds to it.
struct BatchSettings {
    engine::Population defaultPopulation = engine::Population::UnitedKingdom;
    // Units of bare numbers, missing-value markers, decimal comma.
    reading::InputDialect dialect;
    // The delimiter; nothing: detected from the header (comma, semicolon or tab).
    std::optional<char> delimiter = ',';
    // The header name of each input column (--map bwt=birthweight_g).
    std::array<std::string, kInputFieldCount> columnNames{std::string(kInputColumns[0]), std::string(kInputColumns[1]),
                                                          std::string(kInputColumns[2]), std::string(kInputColumns[3]),
                                                          std::string(kInputColumns[4]), std::string(kInputColumns[5]),
                                                          std::string(kInputColumns[6])};
    // Columns added between `centile` and `error`, in the order asked for
    // (reading::kColumnFields).
    std::vector<reading::ResultField> added;
    // The band thresholds, strict (a flagged row is an error) and exact
    // (every row by the population's method itself, for audits).
    reading::ReadingOptions options;
};

// A problem that stops the run before any output: an unreadable or unusable header.
class BatchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BatchColumns {
    std::array<std::size_t, kInputColumns.size()> inputs{};  // index of bwt, gest, ... in a record
    std::optional<std::size_t> population;
    std::size_t width = 0;  // fields in every input record
};

// Finds the columns by name (blanks around a name and the case of its letters
// do not matter). Throws BatchError when an input column is missing or given
// twice, or when the header already has a column named centile or error.
// `names` are the header names to look for (the column map); `added` the
// columns the run adds, which the input must not have either.
BatchColumns findColumns(std::span<const std::string> header);
BatchColumns findColumns(std::span<const std::string> header, const BatchSettings& settings);

struct RowFields {
    std::array<std::string_view, kInputColumns.size()> inputs;  // bwt, gest, wt, ht, sex, eth, par
    std::optional<std::string_view> population;                 // the row's own population, if the file has one
};

// The result of one row, read as every front end reads a birth: each field
// with the input vocabulary (a number, a name, "39+4", a value with its unit;
// "", NA, NaN and "." are missing), then the rules of admission and the
// reading of the birth. An empty population field takes the default.
BirthResult computeRow(const RowFields& fields, const BatchSettings& settings);

// The result of a record that could not be read as a row.
BirthResult malformedRow(const CsvRecord& record);
BirthResult malformedRow(const CsvRow& row);

// Writes the record's fields (padded with empty fields or cut to `width` when
// the record was malformed), then the centile, the added columns and the error.
void writeRow(CsvWriter& writer, const CsvRow& row, std::size_t width, const BirthResult& result,
              const BatchSettings& settings = {});

struct BatchSummary {
    long rows = 0;
    long computed = 0;
    long missing = 0;
    long errors = 0;
    bool interrupted = false;  // stopped on request before the end of the input
    // Computed rows by band (indexed by reading::Band).
    std::array<long, 5> bands{};
    // Rows with at least one flag, and the count of each flag code.
    long flaggedRows = 0;
    std::vector<std::pair<std::string_view, long>> flags;
    // Computed rows by tenth of the centile scale: [0, 10), [10, 20), ...
    // [90, 100]; a centile below 0 counts in the first, above 100 in the last.
    std::array<long, 10> tenths{};

    void add(const BatchSummary& other);
    void count(const BirthResult& result);
    // A row computed with no flag, as count counts it. (Inline: a batch
    // counts every plain row so.)
    void countComputed(double centile, reading::Band band)
    {
        ++rows;
        ++computed;
        ++bands[static_cast<std::size_t>(band)];
        // Held from 0 to 90 without a branch (which would be guessed wrongly
        // for about one row in four), then divided as it stands.
        const double held = std::min(90.0, std::max(0.0, centile));
        ++tenths[static_cast<std::size_t>(held / 10)];
    }
};

struct BatchRunOptions {
    // Threads that parse and compute the rows (1: everything on the calling
    // thread). The output is the same whatever the number.
    std::size_t threads = 1;
    // Called after every chunk written, with the rows written and the input
    // bytes read so far.
    std::function<void(long rows, std::uint64_t bytesRead)> progress;
    // Asked between chunks; when it answers true the run stops promptly,
    // with summary.interrupted set.
    std::function<bool()> stopRequested;
};

// "6 rows: 3 computed, 1 missing, 2 errors"
std::string summaryText(const BatchSummary& summary);
// "bands: 1 SGA (0 below the 3rd), 2 AGA, 0 LGA (0 above the 97th); 1 row flagged: gest_low 1"
std::string bandSummaryText(const BatchSummary& summary, const reading::BandThresholds& thresholds = {});

class BatchJob {
public:
    // Reads and checks the header; throws BatchError before anything is written.
    BatchJob(std::istream& in, engine::Population defaultPopulation);
    BatchJob(std::istream& in, BatchSettings settings);

    // Writes the header and one output record per input record, in input
    // order. `progress`, when given, is called with the rows done so far after
    // every chunk. Throws BatchError when the input cannot be read further or
    // the output cannot be written.
    BatchSummary run(std::ostream& out, const std::function<void(long)>& progress = {});
    // The same on `options.threads` threads: reading and writing stay on the
    // calling thread, parsing and computing go to the workers, chunk by chunk.
    BatchSummary run(std::ostream& out, const BatchRunOptions& options);

    // The results of a chunk of records, in the same order.
    std::vector<BirthResult> computeChunk(std::span<const CsvRecord> records) const;

private:
    struct Chunk;
    struct Scratch;
    bool readChunk(Chunk& chunk);
    void computeChunk(std::span<const CsvRow> rows, std::vector<BirthResult>& results, Scratch& scratch) const;
    RowFields rowFields(const CsvRow& row) const;
    bool plainRecord(const CsvRow& row, Scratch& scratch, engine::BatchRecord& record) const;
    std::optional<engine::Population> rowPopulation(std::string_view text, Scratch& scratch) const;
    void processChunk(Chunk& chunk, Scratch& scratch) const;
    // The lines of a plain chunk in one sweep (plain_lines.cpp); false, having
    // written nothing, when too many of them need the general reading.
    bool processPlainLines(Chunk& chunk, Scratch& scratch) const;

    BatchSettings settings_;
    CsvReader reader_;
    std::vector<std::string> header_;
    BatchColumns columns_;
    bool crLf_ = false;
    // Whether a plain decimal in every input field is read as it stands (its
    // unit is the method's own and no missing-value marker is a number).
    bool plainNumbersAsTheyStand_ = false;
    // Whether plain chunks are read line by line in one sweep first.
    bool plainLinesFirst_ = false;
    // What each column of a line holds (an input, the population, or
    // something else), and how a plain line's fields are read.
    std::shared_ptr<const PlainFieldShape> fieldShape_;
};

}  // namespace wrenfield::tabular
