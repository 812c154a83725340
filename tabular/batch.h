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

#include "tabular/csv.h"
#include "engine/coefficient_set.h"

namespace wrenfield::tabular {

// The columns every input file needs, in the order the methods take them.
inline constexpr std::array<std::string_view, 7> kInputColumns = {"bwt", "gest", "wt", "ht", "sex", "eth", "par"};
inline constexpr std::string_view kPopulationColumn = "population";

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
BatchColumns findColumns(std::span<const std::string> header);

struct RowFields {
    std::array<std::string_view, kInputColumns.size()> inputs;  // bwt, gest, wt, ht, sex, eth, par
    std::optional<std::string_view> population;                // the row's own population, if the file has one
};

enum class RowOutcome { Computed, Missing, Error };

struct RowResult {
    std::string centile;  // shortest text of the unrounded centile; empty unless computed
    std::string error;    // empty when computed
    RowOutcome outcome = RowOutcome::Error;
};

// The centile of one row. Every field goes to the population's method as a
// text, exactly as a host would pass it: "" is a missing input, "abc" a type
// mismatch, "3400" the number 3400. An empty population field takes the default.
RowResult computeRow(const RowFields& fields, engine::Population defaultPopulation);

// The result of a record that could not be read as a row.
RowResult malformedRow(const CsvRecord& record);

// Writes the record's fields (padded with empty fields or cut to `width` when
// the record was malformed), then the centile and the error.
void writeRow(CsvWriter& writer, const CsvRecord& record, std::size_t width, const RowResult& result);

struct BatchSummary {
    long rows = 0;
    long computed = 0;
    long missing = 0;
    long errors = 0;
    bool interrupted = false;  // stopped on request before the end of the input
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

std::string summaryText(const BatchSummary& summary);

class BatchJob {
public:
    // Reads and checks the header; throws BatchError before anything is written.
    BatchJob(std::istream& in, engine::Population defaultPopulation);

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
    void computeChunk(std::span<const CsvRecord> records, std::vector<RowResult>& results, Scratch& scratch) const;
    RowFields rowFields(const CsvRecord& record) const;
    void processChunk(Chunk& chunk) const;

    CsvReader reader_;
    engine::Population defaultPopulation_;
    std::vector<std::string> header_;
    BatchColumns columns_;
    bool crLf_ = false;
};

}  // namespace wrenfield::tabular
