#include "tabular/batch.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

#include "engine/batch_kernel.h"
#include "platform/numeric_text.h"
#include "reading/admission.h"
#include "reading/input_text.h"
#include "reading/number_text.h"
#include "tabular/batch_chunk.h"
#include "tabular/ordered_chunks.h"
#include "tabular/plain_fields.h"

namespace wrenfield::tabular {

namespace {

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
        for (reading::ResultField column : settings.added)
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
                         joined(missing) + (mapped.empty() ? std::string() : " (mapped: " + mapped + ")") +
                         " (required: bwt, gest, wt, ht, sex, eth, par, or the names --map gives them; optional: "
                         "population)");
    return columns;
}

BirthResult computeRow(const RowFields& fields, const BatchSettings& settings)
{
    return reading::readBirth(
        reading::readBirthTexts({fields.inputs, fields.population}, settings.defaultPopulation, settings.dialect),
        settings.options);
}

namespace {

BirthResult malformedRow(long line, std::string_view problem)
{
    BirthResult result;
    reading::setProblem(result, reading::Outcome::Refused,
                        "malformed record at line " + std::to_string(line) + ": " + std::string(problem), {});
    return result;
}

}  // namespace

BirthResult malformedRow(const CsvRecord& record)
{
    return malformedRow(record.line, record.problem);
}

BirthResult malformedRow(const CsvRow& row)
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

std::string addedField(reading::ResultField column, const BirthResult& result, const BatchSettings& settings)
{
    using reading::ResultField;
    // A row flagged under --strict still shows its flags.
    if (column == ResultField::Flags)
        return result.computed() || result.outcome == reading::Outcome::Flagged ? reading::flagTexts(result.flags)
                                                                                : std::string();
    if (!result.computed())
        return {};
    const bool comma = settings.dialect.decimalComma;
    const engine::CentileDetail& d = result.detail;
    switch (column) {
    case ResultField::Rounded:
        return reading::roundedCentileText(d.centile);
    case ResultField::CentileText: {
        std::string text = reading::centileText(d.centile, result.thresholds);
        if (comma)
            std::replace(text.begin(), text.end(), '.', ',');
        return text;
    }
    case ResultField::Band:
        return std::string(reading::bandCode(result.band));
    case ResultField::BandLabel:
        return reading::bandLabel(result.band, result.thresholds);
    case ResultField::BandWords:
        return reading::bandWords(result.band, result.thresholds);
    case ResultField::TermWeight:
        return outputNumber(d.termWeight, comma);
    case ResultField::Weeks:
        return outputNumber(d.weeks, comma);
    case ResultField::Proportion:
        return outputNumber(d.proportion, comma);
    case ResultField::ExpectedWeight:
        return outputNumber(d.expected, comma);
    case ResultField::Spread:
        return outputNumber(d.spread, comma);
    case ResultField::Z:
        return outputNumber(d.z, comma);
    default:
        return {};
    }
}

}  // namespace

void writeRow(CsvWriter& writer, const CsvRow& row, std::size_t width, const BirthResult& result,
              const BatchSettings& settings)
{
    // The common row: written back as it stands, its centile, no error.
    if (!row.text.empty() && row.fields.size() == width && result.computed() && result.error.empty() &&
        settings.added.empty() && !settings.dialect.decimalComma) {
        char text[reading::kShortestTextRoom];
        char* end = reading::writeShortestCentile(text, result.centile());
        writer.writeJoinedNumberRecord(row.text, width, {text, static_cast<std::size_t>(end - text)});
        return;
    }
    if (!row.text.empty() && row.fields.size() == width) {
        writer.writeJoinedFields(row.text, width);
    } else {
        for (std::size_t i = 0; i < width; ++i)
            writer.writeField(i < row.fields.size() ? row.fields[i] : std::string_view());
    }
    if (!result.computed()) {
        writer.writeField({});
    } else {
        // The shortest text that reads back as the same centile, as shortestText gives it.
        char text[reading::kShortestTextRoom];
        char* end = reading::writeShortestCentile(text, result.centile());
        if (settings.dialect.decimalComma) {
            std::replace(text, end, '.', ',');
            writer.writeField({text, static_cast<std::size_t>(end - text)});
        } else {
            writer.writeNumberField({text, static_cast<std::size_t>(end - text)});
        }
    }
    for (reading::ResultField column : settings.added)
        writer.writeField(addedField(column, result, settings));
    writer.writeField(result.error);
    writer.endRecord();
}

std::string addedColumnName(reading::ResultField column)
{
    return reading::snakeCase(reading::fieldName(column));
}

void BatchSummary::count(const BirthResult& result)
{
    if (result.outcome == reading::Outcome::Computed) {
        countComputed(result.centile(), result.band);
    } else {
        ++rows;
        if (result.outcome == reading::Outcome::Missing)
            ++missing;
        else
            ++errors;
    }
    if (result.flags.empty())
        return;
    ++flaggedRows;
    for (const reading::Flag& flag : result.flags) {
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
        auto it =
            std::find_if(flags.begin(), flags.end(), [&](const auto& entry) { return entry.first == flag.first; });
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

std::string bandSummaryText(const BatchSummary& summary, const reading::BandThresholds& thresholds)
{
    auto band = [&summary](reading::Band b) { return std::to_string(summary.bands[static_cast<std::size_t>(b)]); };
    long small = summary.bands[0] + summary.bands[1];
    long large = summary.bands[3] + summary.bands[4];
    std::string text = "bands: " + std::to_string(small) + " SGA (" + band(reading::Band::VerySmall) + " below the " +
        reading::ordinalText(thresholds.verySmall) + "), " + band(reading::Band::Appropriate) + " AGA, " +
        std::to_string(large) + " LGA (" + band(reading::Band::VeryLarge) + " above the " +
        reading::ordinalText(thresholds.veryLarge) + "); " + std::to_string(summary.flaggedRows) +
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
{}

BatchJob::BatchJob(std::istream& in, BatchSettings settings)
    : settings_(std::move(settings))
    , reader_(in, readerOptions(settings_))
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
    // The lines of plain text are read in one sweep when a common row is
    // written back as it stands with its centile: no added column, no
    // decimal comma, a delimiter that no number holds, centiles from the kernel.
    const char delimiter = reader_.delimiter();
    plainLinesFirst_ = plainNumbersAsTheyStand_ && settings_.added.empty() && !settings_.dialect.decimalComma &&
        !settings_.options.exact && (delimiter == ',' || delimiter == ';' || delimiter == '\t');
    std::vector<std::uint8_t> roles(columns_.width, kOtherField);
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        roles[columns_.inputs[c]] = static_cast<std::uint8_t>(c);
    if (columns_.population)
        roles[*columns_.population] = kPopulationField;
    fieldShape_ = std::make_shared<const PlainFieldShape>(plainFieldShape(delimiter, std::move(roles)));
}

RowFields BatchJob::rowFields(const CsvRow& row) const
{
    RowFields fields;
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        fields.inputs[c] = row.fields[columns_.inputs[c]];
    if (columns_.population)
        fields.population = row.fields[*columns_.population];
    return fields;
}

std::vector<BirthResult> BatchJob::computeChunk(std::span<const CsvRecord> records) const
{
    CsvRows rows;
    rows.view(records);
    std::vector<BirthResult> results;
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
        reading::readRowPopulation(text, settings_.defaultPopulation, settings_.dialect).population;
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
    record.inputs = {values[0], values[1], values[2], values[3], values[4], values[5], values[6]};
    // A value the rules refuse takes the vocabulary's road, which says why.
    if (!reading::valuesAdmissible(record.inputs))
        return false;
    std::optional<engine::Population> population = settings_.defaultPopulation;
    if (columns_.population)
        population = rowPopulation(row.fields[*columns_.population], scratch);
    if (!population)
        return false;
    record.population = *population;
    return true;
}

// Every row of the chunk is read as a birth: the common row (seven plain
// decimals and a known population) in one step, any other through the
// vocabulary and the rules of admission. The births admitted then go through
// the reading of many births together; the others already have their result.
void BatchJob::computeChunk(std::span<const CsvRow> rows, std::vector<BirthResult>& results, Scratch& scratch) const
{
    results.resize(rows.size());
    scratch.pending.clear();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const CsvRow& row = rows[r];
        if (row.malformed()) {
            results[r] = malformedRow(row);
            continue;
        }
        reading::PendingBirth birth{{}, &settings_.options, &results[r]};
        if (!plainRecord(row, scratch, birth.record)) {
            const RowFields fields = rowFields(row);
            const reading::BirthReading read = reading::readBirthTexts({fields.inputs, fields.population},
                                                                       settings_.defaultPopulation, settings_.dialect);
            if (!reading::admitBirth(read, birth.record, results[r]))
                continue;
        }
        scratch.pending.push_back(birth);
    }
    reading::readPending(scratch.pending, scratch.reading);
}

bool BatchJob::readChunk(Chunk& chunk)
{
    chunk.count = 0;
    chunk.plain = reader_.nextPlainText(chunk.text, chunk.firstLine, kChunkBytes);
    bool more = chunk.plain;
    // Otherwise records one by one, until plain text follows or the chunk
    // holds as much text as a plain one would: wide rows make short chunks.
    const std::uint64_t start = reader_.offset();
    if (!chunk.plain && chunk.records.empty())
        chunk.records.resize(kChunkRecords);
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

void BatchJob::processChunk(Chunk& chunk, Scratch& scratch) const
{
    if (chunk.plain && plainLinesFirst_ && processPlainLines(chunk, scratch))
        return;
    if (chunk.plain)
        chunk.rows.split(chunk.text, chunk.firstLine, reader_.delimiter(), columns_.width);
    else
        chunk.rows.view(std::span<const CsvRecord>(chunk.records.data(), chunk.count));
    computeChunk(chunk.rows.rows, chunk.results, scratch);
    chunk.output.clear();
    chunk.summary = {};
    CsvWriter writer(chunk.output, crLf_ ? "\r\n" : "\n", reader_.delimiter());
    for (std::size_t i = 0; i < chunk.rows.rows.size(); ++i) {
        const BirthResult& result = chunk.results[i];
        writeRow(writer, chunk.rows.rows[i], columns_.width, result, settings_);
        chunk.summary.count(result);
    }
    chunk.outputBytes = chunk.output.size();
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
    for (reading::ResultField column : settings_.added)
        outputHeader.emplace_back(addedColumnName(column));
    outputHeader.emplace_back("error");
    writer.writeRecord(outputHeader);

    BatchSummary summary;
    bool atEnd = false;
    // A few chunks beyond one per thread keep every worker busy while the
    // oldest chunk waits to be written; more would only cost memory.
    const std::size_t threads = std::max<std::size_t>(options.threads, 1);
    OrderedChunks<Chunk, Scratch> chunks(threads, threads + std::min<std::size_t>(threads, 4) + 2);
    OrderedChunks<Chunk, Scratch>::Steps steps;
    steps.read = [&](Chunk& chunk) {
        if (atEnd)
            return false;
        atEnd = !readChunk(chunk) || chunk.readFailed;
        return chunk.plain || chunk.count > 0 || chunk.readFailed;
    };
    steps.process = [this](Chunk& chunk, Scratch& scratch) { processChunk(chunk, scratch); };
    steps.write = [&](Chunk& chunk) {
        if (chunk.readFailed)
            throw BatchError("cannot read the input after " + std::to_string(summary.rows) + " rows");
        out.write(chunk.output.data(), static_cast<std::streamsize>(chunk.outputBytes));
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
