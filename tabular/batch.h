// Customised centiles for a file of births: one CSV record in, one out.
//
// The work is split into three steps that know nothing of each other, so that
// rows can later be computed in chunks on several threads: reading records
// (CsvReader), computing one row from its fields (computeRow, a pure function
// of the texts), and writing the record with its centile and error (writeRow).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/band.h"
#include "engine/coefficient_set.h"
#include "engine/reading.h"
#include "tabular/csv.h"
#include "tabular/vocabulary.h"

namespace wrenfield::tabular {

// The columns every input file needs are kInputColumns (vocabulary.h), in
// the order the methods take them; the population column is optional.
inline constexpr std::string_view kPopulationColumn = "population";

// Columns a run may add between `centile` and `error`, in the order asked for.
enum class AddedColumn : std::uint8_t {
    Band,      // "SGA", "AGA", "LGA", or "SGA <3rd", "LGA >97th"
    Rounded,   // the centile as the calculator shows it (halves up)
    Z,         // the deviation in spreads
    Expected,  // the expected weight in grams
    Weeks,     // the gestation in weeks
    Flags,     // the plausibility flags, "; " between them
};
std::string_view addedColumnName(AddedColumn column);
std::optional<AddedColumn> addedColumnFromName(std::string_view name);  // any case

// How a file is read and what the run adds to it.
struct BatchSettings {
    engine::Population defaultPopulation = engine::Population::UnitedKingdom;
    // Units of bare numbers, missing-value markers, decimal comma.
    InputDialect dialect;
    // The delimiter; nothing: detected from the header (comma, semicolon or tab).
    std::optional<char> delimiter = ',';
    // The header name of each input column (--map bwt=birthweight_g).
    std::array<std::string, kInputFieldCount> columnNames{std::string(kInputColumns[0]), std::string(kInputColumns[1]),
                                                          std::string(kInputColumns[2]), std::string(kInputColumns[3]),
                                                          std::string(kInputColumns[4]), std::string(kInputColumns[5]),
                                                          std::string(kInputColumns[6])};
    std::vector<AddedColumn> added;
    engine::BandThresholds thresholds;
    // A flagged row is an error (no centile) instead of a computed one.
    bool strict = false;
    // Every row by the population's method itself (the 1001-slice sum, one
    // record at a time), for audits, instead of the batch kernel.
    bool exact = false;
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
    std::optional<std::string_view> population;                // the row's own population, if the file has one
};

enum class RowOutcome { Computed, Missing, Error };

struct RowResult {
    std::string centile;  // shortest text of the unrounded centile; empty unless computed
    std::string error;    // empty when computed
    RowOutcome outcome = RowOutcome::Error;
    // The band, the intermediate values and the flags of a computed row (and
    // of a row that --strict turned into an error for its flags).
    std::optional<engine::Reading> reading;
};

// The centile of one row. Each field is read with the input vocabulary (a
// number as the population methods read it, a name, "39+4", a value with its
// unit; "", NA, NaN and "." are missing). A row with a missing field gives
// "missing: gest"; a field the vocabulary cannot read goes to the method as
// the text it is, which raises its type mismatch ("Type mismatch (not a
// number: sex)"). An empty population field takes the default.
RowResult computeRow(const RowFields& fields, engine::Population defaultPopulation);
RowResult computeRow(const RowFields& fields, const BatchSettings& settings);

// A computed centile with its reading; under `settings.strict` a flagged row
// is an error ("flagged: ...").
RowResult readingRow(engine::Reading reading, const BatchSettings& settings);
// The centile text, error and outcome of a result whose reading is set (a
// result kept from an earlier row reuses its texts' room).
void settleReadingRow(RowResult& result, const BatchSettings& settings);

// A row the vocabulary could not read whole: its population is unknown, a
// field is missing, or one cannot be read. `birth` is the reading of the
// row's `fields`; the outcome ("missing: gest", "unknown population: X", the
// method's run-time error) is exactly what the batch gives such a row.
RowResult incompleteRow(const RowFields& fields, const BirthReading& birth);

// The result of a record that could not be read as a row.
RowResult malformedRow(const CsvRecord& record);
RowResult malformedRow(const CsvRow& row);

// Writes the record's fields (padded with empty fields or cut to `width` when
// the record was malformed), then the centile, the added columns and the error.
void writeRow(CsvWriter& writer, const CsvRow& row, std::size_t width, const RowResult& result,
              const BatchSettings& settings = {});

struct BatchSummary {
    long rows = 0;
    long computed = 0;
    long missing = 0;
    long errors = 0;
    bool interrupted = false;  // stopped on request before the end of the input
    // Computed rows by band (indexed by engine::Band).
    std::array<long, 5> bands{};
    // Rows with at least one flag, and the count of each flag code.
    long flaggedRows = 0;
    std::vector<std::pair<std::string_view, long>> flags;
    // Computed rows by tenth of the centile scale: [0, 10), [10, 20), ...
    // [90, 100]; a centile below 0 counts in the first, above 100 in the last.
    std::array<long, 10> tenths{};

    void add(const BatchSummary& other);
    void count(const RowResult& result);
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
std::string bandSummaryText(const BatchSummary& summary, const engine::BandThresholds& thresholds = {});

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

    // The results of a chunk of records, in the same order. Each row on its
    // own: the rows of a chunk may be computed in any order or at once.
    std::vector<RowResult> computeChunk(std::span<const CsvRecord> records) const;

private:
    struct Chunk;
    struct Scratch;
    bool readChunk(Chunk& chunk);
    void computeChunk(std::span<const CsvRow> rows, std::vector<RowResult>& results, Scratch& scratch) const;
    RowFields rowFields(const CsvRow& row) const;
    bool plainRecord(const CsvRow& row, Scratch& scratch, engine::BatchRecord& record) const;
    std::optional<engine::Population> rowPopulation(std::string_view text, Scratch& scratch) const;
    void processChunk(Chunk& chunk) const;

    BatchSettings settings_;
    CsvReader reader_;
    std::vector<std::string> header_;
    BatchColumns columns_;
    bool crLf_ = false;
    // Whether a plain decimal in every input field is read as it stands (its
    // unit is the method's own and no missing-value marker is a number).
    bool plainNumbersAsTheyStand_ = false;
    // Whether the run adds a column that needs the z, expected weight or weeks.
    bool withDetail_ = false;
};

}  // namespace wrenfield::tabular

