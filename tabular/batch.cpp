#include "tabular/batch.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "tabular/ordered_chunks.h"
#include "tabular/population_choice.h"
#include "engine/batch_kernel.h"
#include "engine/checked_arithmetic.h"
#include "engine/population_methods.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "platform/variant.h"

namespace wrenfield::tabular {

namespace {

// Records computed between two writes; also the unit that the threads share
// out: at most this many records read one by one, or this much text (about
// 3,000 records of births; a single record may be longer, up to the CSV
// reader's limit). With a bounded number of chunks in flight (a few more
// than threads), memory stays a few megabytes whatever the input's length
// and width.
constexpr std::size_t kChunkRecords = 4096;
constexpr std::size_t kChunkBytes = std::size_t{128} << 10;

std::string columnKey(std::string_view name)
{
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
        name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

std::string joined(const std::vector<std::string_view>& names)
{
    std::string text;
    for (std::string_view name : names) {
        if (!text.empty())
            text += ", ";
        text += name;
    }
    return text;
}


}  // namespace

BatchColumns findColumns(std::span<const std::string> header)
{
    return findColumns(header, BatchSettings{});
}

BatchColumns findColumns(std::span<const std::string> header, const BatchSettings& settings)
{
    BatchColumns columns;
    columns.width = header.size();
    std::array<bool, kInputFieldCount> found{};
    std::array<std::string, kInputFieldCount> wanted;
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        wanted[c] = columnKey(settings.columnNames[c]);
    std::vector<std::string_view> missing;
    for (std::size_t i = 0; i < header.size(); ++i) {
        std::string key = columnKey(header[i]);
        bool added = false;
        for (AddedColumn column : settings.added)
            added |= key == addedColumnName(column);
        if (key == "centile" || key == "error" || added)
            throw BatchError("the input already has a column named \"" + key +
                             "\"; rename it, since the output adds it");
        if (key == kPopulationColumn) {
            if (columns.population)
                throw BatchError("the header names the column \"population\" twice");
            columns.population = i;
            continue;
        }
        for (std::size_t c = 0; c < kInputFieldCount; ++c) {
            if (key != wanted[c])
                continue;
            if (found[c])
                throw BatchError("the header names the column \"" + wanted[c] + "\" twice");
            found[c] = true;
            columns.inputs[c] = i;
        }
    }
    std::string mapped;
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        if (found[c])
            continue;
        missing.push_back(wanted[c]);
        if (wanted[c] != kInputColumns[c])
            mapped += std::string(mapped.empty() ? "" : ", ") + std::string(kInputColumns[c]) + "=" + wanted[c];
    }
    if (!missing.empty())
        throw BatchError("the header lacks the required column" + std::string(missing.size() > 1 ? "s " : " ") +
                         joined(missing) +
                         (mapped.empty() ? std::string() : " (mapped: " + mapped + ")") +
                         " (required: bwt, gest, wt, ht, sex, eth, par, or the names --map gives them; optional: "
                         "population)");
    return columns;
}

RowResult computeRow(const RowFields& fields, engine::Population defaultPopulation)
{
    BatchSettings settings;
    settings.defaultPopulation = defaultPopulation;
    return computeRow(fields, settings);
}

namespace {

BirthTexts birthTexts(const RowFields& fields)
{
    return {fields.inputs, fields.population};
}

}  // namespace

// A computed centile with its reading; under --strict a flagged row is an error.
RowResult readingRow(engine::Reading reading, const BatchSettings& settings)
{
    RowResult result;
    result.reading = std::move(reading);
    settleReadingRow(result, settings);
    return result;
}

void settleReadingRow(RowResult& result, const BatchSettings& settings)
{
    const engine::Reading& reading = *result.reading;
    if (settings.strict && !reading.flags.empty()) {
        result.centile.clear();
        result.error = "flagged: " + engine::flagTexts(reading.flags);
        result.outcome = RowOutcome::Error;
    } else {
        // The shortest text that reads back as the same centile, as shortestText gives it.
        char text[32];
        result.centile.assign(text, std::to_chars(text, text + sizeof text, reading.centile()).ptr);
        result.error.clear();
        result.outcome = RowOutcome::Computed;
    }
}

// A row the vocabulary could not read whole: its population is unknown, a
// field is missing, or one cannot be read. The fields go to the population's
// method as the vocabulary read them (a missing one as the zero-length text,
// an unreadable one as the text it is), so the outcome, "missing: …" or the
// method's own run-time error, is exactly the method's.
RowResult incompleteRow(const RowFields& fields, const BirthReading& birth)
{
    if (!birth.population)
        return {{}, "unknown population: " + std::string(*fields.population), RowOutcome::Error, {}};
    std::array<Variant, kInputFieldCount> arguments;
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        switch (birth.fields[c].status) {
        case FieldStatus::Value: arguments[c] = Variant(birth.fields[c].value); break;
        case FieldStatus::Missing: arguments[c] = Variant(std::string()); break;
        case FieldStatus::Invalid: arguments[c] = Variant(fields.inputs[c]); break;
        }
    }
    Variant result;
    try {
        result = engine::populationMethod(*birth.population)(arguments[0], arguments[1], arguments[2], arguments[3],
                                                             arguments[4], arguments[5], arguments[6]);
    } catch (const RuntimeError& error) {
        std::string text = error.what();
        // Name the fields that are not numbers: the method only says that one is not.
        if (error.number() == ErrorNumber::TypeMismatch && !birth.invalidFields().empty())
            text += " (not a number: " + birth.invalidFields() + ")";
        return {{}, std::move(text), RowOutcome::Error, {}};
    }
    if (result.isString())
        return {{}, "missing: " + birth.missingFields(), RowOutcome::Missing, {}};
    // Every field read: only a complete row gets here, and those are computed by readBirth.
    return {shortestText(result.number()), {}, RowOutcome::Computed, {}};
}

RowResult computeRow(const RowFields& fields, const BatchSettings& settings)
{
    BirthReading birth = readBirthTexts(birthTexts(fields), settings.defaultPopulation, settings.dialect);
    if (!birth.complete())
        return incompleteRow(fields, birth);
    try {
        return readingRow(engine::readBirth(*birth.population, birth.inputs(), settings.thresholds), settings);
    } catch (const RuntimeError& error) {
        return {{}, error.what(), RowOutcome::Error, {}};
    }
}

namespace {

RowResult malformedRow(long line, std::string_view problem)
{
    return {{}, "malformed record at line " + std::to_string(line) + ": " + std::string(problem), RowOutcome::Error, {}};
}

}  // namespace

RowResult malformedRow(const CsvRecord& record)
{
    return malformedRow(record.line, record.problem);
}

RowResult malformedRow(const CsvRow& row)
{
    return malformedRow(row.line, row.problem);
}

namespace {

// A number as the output writes it: shortest exact text, with a decimal
// comma when the input uses one.
std::string outputNumber(double value, bool decimalComma)
{
    std::string text = shortestText(value);
    if (decimalComma)
        std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string addedField(AddedColumn column, const RowResult& result, const BatchSettings& settings)
{
    if (!result.reading)
        return {};
    const engine::Reading& reading = *result.reading;
    if (column == AddedColumn::Flags)
        return engine::flagTexts(reading.flags);
    if (result.outcome != RowOutcome::Computed)
        return {};
    const bool comma = settings.dialect.decimalComma;
    switch (column) {
    case AddedColumn::Band: return engine::bandLabel(reading.band, settings.thresholds);
    case AddedColumn::Rounded: return wholeNumberText(engine::checked::roundHalfUp(reading.centile()));
    case AddedColumn::Z: return outputNumber(reading.detail.z, comma);
    case AddedColumn::Expected: return outputNumber(reading.detail.expected, comma);
    case AddedColumn::Weeks: return outputNumber(reading.detail.weeks, comma);
    case AddedColumn::Flags: break;
    }
    return {};
}

}  // namespace

void writeRow(CsvWriter& writer, const CsvRow& row, std::size_t width, const RowResult& result,
              const BatchSettings& settings)
{
    if (!row.text.empty() && row.fields.size() == width) {
        writer.writeJoinedFields(row.text, width);
    } else {
        for (std::size_t i = 0; i < width; ++i)
            writer.writeField(i < row.fields.size() ? row.fields[i] : std::string_view());
    }
    if (settings.dialect.decimalComma && !result.centile.empty()) {
        std::string centile = result.centile;
        std::replace(centile.begin(), centile.end(), '.', ',');
        writer.writeField(centile);
    } else {
        writer.writeNumberField(result.centile);
    }
    for (AddedColumn column : settings.added)
        writer.writeField(addedField(column, result, settings));
    writer.writeField(result.error);
    writer.endRecord();
}

namespace {

constexpr std::array<std::string_view, 6> kAddedColumnNames = {"band", "rounded", "z", "expected", "weeks", "flags"};

}  // namespace

std::string_view addedColumnName(AddedColumn column)
{
    return kAddedColumnNames[static_cast<std::size_t>(column)];
}

std::optional<AddedColumn> addedColumnFromName(std::string_view name)
{
    std::string key = columnKey(name);
    for (std::size_t i = 0; i < kAddedColumnNames.size(); ++i)
        if (key == kAddedColumnNames[i])
            return static_cast<AddedColumn>(i);
    return std::nullopt;
}

void BatchSummary::count(const RowResult& result)
{
    ++rows;
    switch (result.outcome) {
    case RowOutcome::Computed: ++computed; break;
    case RowOutcome::Missing: ++missing; break;
    case RowOutcome::Error: ++errors; break;
    }
    if (!result.reading)
        return;
    if (result.outcome == RowOutcome::Computed) {
        ++bands[static_cast<std::size_t>(result.reading->band)];
        const double centile = result.reading->centile();
        const std::size_t tenth = centile < 10 ? 0 : centile >= 90 ? 9 : static_cast<std::size_t>(centile / 10);
        ++tenths[tenth];
    }
    if (result.reading->flags.empty())
        return;
    ++flaggedRows;
    for (const engine::Flag& flag : result.reading->flags) {
        auto it = std::find_if(flags.begin(), flags.end(), [&](const auto& entry) { return entry.first == flag.code; });
        if (it == flags.end())
            flags.emplace_back(flag.code, 1);
        else
            ++it->second;
    }
}

void BatchSummary::add(const BatchSummary& other)
{
    rows += other.rows;
    computed += other.computed;
    missing += other.missing;
    errors += other.errors;
    for (std::size_t b = 0; b < bands.size(); ++b)
        bands[b] += other.bands[b];
    for (std::size_t t = 0; t < tenths.size(); ++t)
        tenths[t] += other.tenths[t];
    flaggedRows += other.flaggedRows;
    for (const auto& flag : other.flags) {
        // Not a structured binding: clang 14 (the fuzz build) cannot capture one in a lambda.
        auto it = std::find_if(flags.begin(), flags.end(), [&](const auto& entry) { return entry.first == flag.first; });
        if (it == flags.end())
            flags.emplace_back(flag.first, flag.second);
        else
            it->second += flag.second;
    }
}

std::string summaryText(const BatchSummary& summary)
{
    return std::to_string(summary.rows) + " rows: " + std::to_string(summary.computed) + " computed, " +
           std::to_string(summary.missing) + " missing, " + std::to_string(summary.errors) + " errors";
}

std::string bandSummaryText(const BatchSummary& summary, const engine::BandThresholds& thresholds)
{
    auto band = [&summary](engine::Band b) { return std::to_string(summary.bands[static_cast<std::size_t>(b)]); };
    long small = summary.bands[0] + summary.bands[1];
    long large = summary.bands[3] + summary.bands[4];
    std::string text = "bands: " + std::to_string(small) + " SGA (" + band(engine::Band::VerySmall) + " below the " +
                       engine::ordinalText(thresholds.verySmall) + "), " + band(engine::Band::Appropriate) +
                       " AGA, " + std::to_string(large) + " LGA (" + band(engine::Band::VeryLarge) + " above the " +
                       engine::ordinalText(thresholds.veryLarge) + "); " + std::to_string(summary.flaggedRows) +
                       (summary.flaggedRows == 1 ? " row" : " rows") + " flagged";
    std::vector<std::pair<std::string_view, long>> flags = summary.flags;
    std::sort(flags.begin(), flags.end());
    for (std::size_t i = 0; i < flags.size(); ++i)
        text += (i == 0 ? ": " : ", ") + std::string(flags[i].first) + " " + std::to_string(flags[i].second);
    return text;
}

namespace {

BatchSettings withPopulation(engine::Population population)
{
    BatchSettings settings;
    settings.defaultPopulation = population;
    return settings;
}

CsvReader::Options readerOptions(const BatchSettings& settings)
{
    CsvReader::Options options;
    options.delimiter = settings.delimiter.value_or(',');
    options.detectDelimiter = !settings.delimiter;
    return options;
}

}  // namespace

BatchJob::BatchJob(std::istream& in, engine::Population defaultPopulation)
    : BatchJob(in, withPopulation(defaultPopulation))
{
}

BatchJob::BatchJob(std::istream& in, BatchSettings settings)
    : settings_(std::move(settings)), reader_(in, readerOptions(settings_))
{
    CsvRecord header;
    if (!reader_.next(header)) {
        if (reader_.readFailed())
            throw BatchError("cannot read the input");
        throw BatchError("the input is empty: the first line must name the columns (bwt, gest, wt, ht, sex, "
                         "eth, par, and optionally population)");
    }
    if (header.malformed())
        throw BatchError("the header (line " + std::to_string(header.line) + ") is malformed: " + header.problem);
    header_ = std::move(header.fields);
    columns_ = findColumns(header_, settings_);
    crLf_ = reader_.lastRecordEndedWithCrLf();
    plainNumbersAsTheyStand_ = readsPlainNumbersAsTheyStand(settings_.dialect);
    withDetail_ = std::any_of(settings_.added.begin(), settings_.added.end(), [](AddedColumn column) {
        return column == AddedColumn::Z || column == AddedColumn::Expected || column == AddedColumn::Weeks;
    });
}

// Per-chunk working space, kept from one chunk to the next.
struct BatchJob::Scratch {
    std::vector<engine::BatchRecord> records;
    std::vector<std::size_t> rows;  // the chunk position of each record
    std::vector<engine::BatchOutcome> outcomes;
    // The population of the texts met lately in the population column: a
    // file names the same few again and again.
    std::vector<std::pair<std::string, engine::Population>> populations;
};

struct BatchJob::Chunk {
    // The chunk's records: plain text, or records read one by one.
    bool plain = false;
    std::string text;
    long firstLine = 0;
    std::vector<CsvRecord> records = std::vector<CsvRecord>(kChunkRecords);
    std::size_t count = 0;
    bool readFailed = false;
    CsvRows rows;
    std::vector<RowResult> results;
    Scratch scratch;
    std::string output;  // the chunk's output records, ready to write
    BatchSummary summary;
};

RowFields BatchJob::rowFields(const CsvRow& row) const
{
    RowFields fields;
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        fields.inputs[c] = row.fields[columns_.inputs[c]];
    if (columns_.population)
        fields.population = row.fields[*columns_.population];
    return fields;
}

std::vector<RowResult> BatchJob::computeChunk(std::span<const CsvRecord> records) const
{
    CsvRows rows;
    rows.view(records);
    std::vector<RowResult> results;
    Scratch scratch;
    computeChunk(rows.rows, results, scratch);
    return results;
}

std::optional<engine::Population> BatchJob::rowPopulation(std::string_view text, Scratch& scratch) const
{
    constexpr std::size_t kRemembered = 16;
    for (const auto& [name, population] : scratch.populations)
        if (name == text)
            return population;
    std::optional<engine::Population> population =
        readRowPopulation(text, settings_.defaultPopulation, settings_.dialect).population;
    if (population && scratch.populations.size() < kRemembered)
        scratch.populations.emplace_back(std::string(text), *population);
    return population;
}

// The common row in one step: seven plain decimals, which the vocabulary
// would read as they stand, and a population it knows (or none). False for
// any other row, which the vocabulary reads.
bool BatchJob::plainRecord(const CsvRow& row, Scratch& scratch, engine::BatchRecord& record) const
{
    if (!plainNumbersAsTheyStand_)
        return false;
    std::array<double, kInputFieldCount> values;
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        std::optional<double> value = plainDecimalValue(row.fields[columns_.inputs[c]]);
        if (!value)
            return false;
        values[c] = *value;
    }
    if (settings_.dialect.positiveMeasurements) {
        for (InputField measurement : {InputField::Bwt, InputField::Gest, InputField::Wt, InputField::Ht})
            if (!(values[static_cast<std::size_t>(measurement)] > 0))
                return false;
    }
    std::optional<engine::Population> population = settings_.defaultPopulation;
    if (columns_.population)
        population = rowPopulation(row.fields[*columns_.population], scratch);
    if (!population)
        return false;
    record.population = *population;
    record.inputs = {values[0], values[1], values[2], values[3], values[4], values[5], values[6]};
    return true;
}

// The common row, seven values the vocabulary reads (plain numbers most of
// the time), goes to the batch kernel with the others of its chunk. Every
// other row (a missing or unreadable field, an unknown population) and every
// row the kernel reports an error for is computed on its own by computeRow,
// which hands the values to the population's method: its result and its
// error text are exactly the method's. For a text that numberFromTextInRange
// reads, the method computes with that very number, so both ways give the
// same centile (to the last bit or two of the vector exponential; a centile
// that close to a band threshold is recomputed by the method).
void BatchJob::computeChunk(std::span<const CsvRow> rows, std::vector<RowResult>& results, Scratch& scratch) const
{
    results.resize(rows.size());
    scratch.records.clear();
    scratch.rows.clear();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        if (row.malformed()) {
            results[r] = malformedRow(row);
            continue;
        }
        engine::BatchRecord plain;
        if (!settings_.exact && plainRecord(row, scratch, plain)) {
            scratch.records.push_back(plain);
            scratch.rows.push_back(r);
            continue;
        }
        RowFields fields = rowFields(row);
        BirthReading birth = readBirthTexts(birthTexts(fields), settings_.defaultPopulation, settings_.dialect);
        if (!birth.complete()) {
            results[r] = incompleteRow(fields, birth);
            continue;
        }
        if (settings_.exact) {
            results[r] = computeRow(fields, settings_);
            continue;
        }
        scratch.records.push_back({*birth.population, birth.inputs()});
        scratch.rows.push_back(r);
    }

    scratch.outcomes.resize(scratch.records.size());
    engine::computeCentiles(scratch.records, scratch.outcomes);
    for (std::size_t k = 0; k < scratch.rows.size(); ++k) {
        std::size_t r = scratch.rows[k];
        const engine::BatchOutcome& outcome = scratch.outcomes[k];
        if (outcome.error)
            results[r] = computeRow(rowFields(rows[r]), settings_);
        else {
            // Into the result kept from an earlier chunk, reusing its room.
            RowResult& result = results[r];
            engine::readBatchBirth(scratch.records[k], outcome.centile, settings_.thresholds, withDetail_,
                                   result.reading ? *result.reading : result.reading.emplace());
            settleReadingRow(result, settings_);
        }
    }
}

bool BatchJob::readChunk(Chunk& chunk)
{
    chunk.count = 0;
    chunk.plain = reader_.nextPlainText(chunk.text, chunk.firstLine, kChunkBytes);
    bool more = chunk.plain;
    // Otherwise records one by one, until plain text follows or the chunk
    // holds as much text as a plain one would: wide rows make short chunks.
    const std::uint64_t start = reader_.offset();
    while (!chunk.plain && chunk.count < chunk.records.size()) {
        more = reader_.next(chunk.records[chunk.count]);
        if (!more)
            break;
        ++chunk.count;
        if (reader_.plainRecordNext() || reader_.offset() - start >= kChunkBytes)
            break;
    }
    // Plain text holds only whole lines, read before any error; records read
    // one by one may end in one cut short by the error.
    chunk.readFailed = !chunk.plain && reader_.readFailed();
    return more;
}

void BatchJob::processChunk(Chunk& chunk) const
{
    if (chunk.plain)
        chunk.rows.split(chunk.text, chunk.firstLine, reader_.delimiter(), columns_.width);
    else
        chunk.rows.view(std::span<const CsvRecord>(chunk.records.data(), chunk.count));
    computeChunk(chunk.rows.rows, chunk.results, chunk.scratch);
    chunk.output.clear();
    chunk.summary = {};
    CsvWriter writer(chunk.output, crLf_ ? "\r\n" : "\n", reader_.delimiter());
    for (std::size_t i = 0; i < chunk.rows.rows.size(); ++i) {
        const RowResult& result = chunk.results[i];
        writeRow(writer, chunk.rows.rows[i], columns_.width, result, settings_);
        chunk.summary.count(result);
    }
}

BatchSummary BatchJob::run(std::ostream& out, const std::function<void(long)>& progress)
{
    BatchRunOptions options;
    if (progress)
        options.progress = [&progress](long rows, std::uint64_t) { progress(rows); };
    return run(out, options);
}

BatchSummary BatchJob::run(std::ostream& out, const BatchRunOptions& options)
{
    // The output keeps the input's byte order mark and line breaks.
    if (reader_.hadByteOrderMark())
        out << "\xEF\xBB\xBF";
    CsvWriter writer(out, crLf_ ? "\r\n" : "\n", reader_.delimiter());
    std::vector<std::string> outputHeader = header_;
    outputHeader.emplace_back("centile");
    for (AddedColumn column : settings_.added)
        outputHeader.emplace_back(addedColumnName(column));
    outputHeader.emplace_back("error");
    writer.writeRecord(outputHeader);

    BatchSummary summary;
    bool atEnd = false;
    // A few chunks beyond one per thread keep every worker busy while the
    // oldest chunk waits to be written; more would only cost memory.
    const std::size_t threads = std::max<std::size_t>(options.threads, 1);
    OrderedChunks<Chunk> chunks(threads, threads + std::min<std::size_t>(threads, 4) + 2);
    OrderedChunks<Chunk>::Steps steps;
    steps.read = [&](Chunk& chunk) {
        if (atEnd)
            return false;
        atEnd = !readChunk(chunk) || chunk.readFailed;
        return chunk.plain || chunk.count > 0 || chunk.readFailed;
    };
    steps.process = [this](Chunk& chunk) { processChunk(chunk); };
    steps.write = [&](Chunk& chunk) {
        if (chunk.readFailed)
            throw BatchError("cannot read the input after " + std::to_string(summary.rows) + " rows");
        out.write(chunk.output.data(), static_cast<std::streamsize>(chunk.output.size()));
        summary.add(chunk.summary);
        out.flush();
        if (!out)
            throw BatchError("cannot write the output after " + std::to_string(summary.rows) + " rows");
        if (options.progress)
            options.progress(summary.rows, reader_.bytesRead());
    };
    if (options.stopRequested)
        steps.stopRequested = options.stopRequested;
    summary.interrupted = !chunks.run(steps);
    out.flush();
    return summary;
}

}  // namespace wrenfield::tabular
