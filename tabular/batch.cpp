#include "tabular/batch.h"

#include <algorithm>
#include <cctype>

#include "tabular/ordered_chunks.h"
#include "tabular/population_choice.h"
#include "engine/batch_kernel.h"
#include "engine/population_methods.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "platform/variant.h"

namespace wrenfield::tabular {

namespace {

// Records computed between two writes; also the unit that the threads share
// out. With a bounded number of chunks in flight (a few more than threads),
// memory stays a few megabytes whatever the input's length.
constexpr std::size_t kChunkRecords = 4096;

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

bool readsAsNumber(std::string_view text)
{
    try {
        numberFromText(text);
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

}  // namespace

BatchColumns findColumns(std::span<const std::string> header)
{
    BatchColumns columns;
    columns.width = header.size();
    std::array<bool, kInputColumns.size()> found{};
    std::vector<std::string_view> missing;
    for (std::size_t i = 0; i < header.size(); ++i) {
        std::string key = columnKey(header[i]);
        if (key == "centile" || key == "error")
            throw BatchError("the input already has a column named \"" + key +
                             "\"; rename it, since the output adds centile and error columns");
        if (key == kPopulationColumn) {
            if (columns.population)
                throw BatchError("the header names the column \"population\" twice");
            columns.population = i;
            continue;
        }
        for (std::size_t c = 0; c < kInputColumns.size(); ++c) {
            if (key != kInputColumns[c])
                continue;
            if (found[c])
                throw BatchError("the header names the column \"" + std::string(kInputColumns[c]) + "\" twice");
            found[c] = true;
            columns.inputs[c] = i;
        }
    }
    for (std::size_t c = 0; c < kInputColumns.size(); ++c)
        if (!found[c])
            missing.push_back(kInputColumns[c]);
    if (!missing.empty())
        throw BatchError("the header lacks the required column" + std::string(missing.size() > 1 ? "s " : " ") +
                         joined(missing) + " (required: bwt, gest, wt, ht, sex, eth, par; optional: population)");
    return columns;
}

RowResult computeRow(const RowFields& fields, engine::Population defaultPopulation)
{
    engine::Population population = defaultPopulation;
    if (fields.population && !fields.population->empty()) {
        auto named = populationFromText(*fields.population);
        if (!named)
            return {{}, "unknown population: " + std::string(*fields.population), RowOutcome::Error};
        population = *named;
    }

    std::array<Variant, kInputColumns.size()> arguments;
    for (std::size_t c = 0; c < arguments.size(); ++c)
        arguments[c] = Variant(fields.inputs[c]);
    Variant result;
    try {
        result = engine::populationMethod(population)(arguments[0], arguments[1], arguments[2], arguments[3],
                                                      arguments[4], arguments[5], arguments[6]);
    } catch (const RuntimeError& error) {
        std::string text = error.what();
        if (error.number() == ErrorNumber::TypeMismatch) {
            // Name the fields that are not numbers: the method only says that one is not.
            std::vector<std::string_view> culprits;
            for (std::size_t c = 0; c < kInputColumns.size(); ++c)
                if (!readsAsNumber(fields.inputs[c]))
                    culprits.push_back(kInputColumns[c]);
            if (!culprits.empty())
                text += " (not a number: " + joined(culprits) + ")";
        }
        return {{}, std::move(text), RowOutcome::Error};
    }
    if (result.isString()) {
        std::vector<std::string_view> missing;
        for (std::size_t c = 0; c < kInputColumns.size(); ++c)
            if (fields.inputs[c].empty())
                missing.push_back(kInputColumns[c]);
        return {{}, "missing: " + joined(missing), RowOutcome::Missing};
    }
    return {shortestText(result.number()), {}, RowOutcome::Computed};
}

RowResult malformedRow(const CsvRecord& record)
{
    return {{}, "malformed record at line " + std::to_string(record.line) + ": " + record.problem, RowOutcome::Error};
}

void writeRow(CsvWriter& writer, const CsvRecord& record, std::size_t width, const RowResult& result)
{
    for (std::size_t i = 0; i < width; ++i)
        writer.writeField(i < record.fields.size() ? std::string_view(record.fields[i]) : std::string_view());
    writer.writeField(result.centile);
    writer.writeField(result.error);
    writer.endRecord();
}

std::string summaryText(const BatchSummary& summary)
{
    return std::to_string(summary.rows) + " rows: " + std::to_string(summary.computed) + " computed, " +
           std::to_string(summary.missing) + " missing, " + std::to_string(summary.errors) + " errors";
}

BatchJob::BatchJob(std::istream& in, engine::Population defaultPopulation)
    : reader_(in), defaultPopulation_(defaultPopulation)
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
    columns_ = findColumns(header_);
    crLf_ = reader_.lastRecordEndedWithCrLf();
}

// Per-chunk working space, kept from one chunk to the next.
struct BatchJob::Scratch {
    std::vector<engine::BatchRecord> records;
    std::vector<std::size_t> rows;  // the chunk position of each record
    std::vector<engine::BatchOutcome> outcomes;
};

struct BatchJob::Chunk {
    std::vector<CsvRecord> records = std::vector<CsvRecord>(kChunkRecords);
    std::size_t count = 0;
    bool readFailed = false;
    std::vector<RowResult> results;
    Scratch scratch;
    std::string output;  // the chunk's output records, ready to write
    BatchSummary summary;
};

RowFields BatchJob::rowFields(const CsvRecord& record) const
{
    RowFields fields;
    for (std::size_t c = 0; c < kInputColumns.size(); ++c)
        fields.inputs[c] = record.fields[columns_.inputs[c]];
    if (columns_.population)
        fields.population = record.fields[*columns_.population];
    return fields;
}

std::vector<RowResult> BatchJob::computeChunk(std::span<const CsvRecord> records) const
{
    std::vector<RowResult> results;
    Scratch scratch;
    computeChunk(records, results, scratch);
    return results;
}

// The common row, seven plain numbers, goes to the batch kernel with the
// others of its chunk. Every other row (a missing or non-numeric field, an
// unknown population, a number beyond the double range) and every row the
// kernel reports an error for is computed on its own by computeRow, which
// hands the texts to the population's method: its result and its error text
// are exactly the method's. For a text that numberFromTextInRange reads, the
// method computes with that very number, so both ways give the same centile
// (to the last bit or two of the vector exponential).
void BatchJob::computeChunk(std::span<const CsvRecord> records, std::vector<RowResult>& results,
                            Scratch& scratch) const
{
    results.resize(records.size());
    scratch.records.clear();
    scratch.rows.clear();
    for (std::size_t r = 0; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        if (record.malformed()) {
            results[r] = malformedRow(record);
            continue;
        }
        RowFields fields = rowFields(record);
        std::optional<engine::Population> population = defaultPopulation_;
        if (fields.population && !fields.population->empty())
            population = populationFromText(*fields.population);
        engine::BatchRecord plain;
        bool fast = population.has_value();
        if (fast) {
            plain.population = *population;
            double* numbers[kInputColumns.size()] = {&plain.inputs.bwt, &plain.inputs.gestDays, &plain.inputs.wt,
                                                     &plain.inputs.ht,  &plain.inputs.sex,      &plain.inputs.eth,
                                                     &plain.inputs.par};
            for (std::size_t c = 0; c < kInputColumns.size() && fast; ++c) {
                std::optional<double> number = numberFromTextInRange(fields.inputs[c]);
                fast = number.has_value();
                if (fast)
                    *numbers[c] = *number;
            }
        }
        if (!fast) {
            results[r] = computeRow(fields, defaultPopulation_);
            continue;
        }
        scratch.records.push_back(plain);
        scratch.rows.push_back(r);
    }

    scratch.outcomes.resize(scratch.records.size());
    engine::computeCentiles(scratch.records, scratch.outcomes);
    for (std::size_t k = 0; k < scratch.rows.size(); ++k) {
        std::size_t r = scratch.rows[k];
        const engine::BatchOutcome& outcome = scratch.outcomes[k];
        if (outcome.error)
            results[r] = computeRow(rowFields(records[r]), defaultPopulation_);
        else
            results[r] = {shortestText(outcome.centile), {}, RowOutcome::Computed};
    }
}

void BatchJob::processChunk(Chunk& chunk) const
{
    std::span<const CsvRecord> records(chunk.records.data(), chunk.count);
    computeChunk(records, chunk.results, chunk.scratch);
    chunk.output.clear();
    chunk.summary = {};
    CsvWriter writer(chunk.output, crLf_ ? "\r\n" : "\n");
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RowResult& result = chunk.results[i];
        writeRow(writer, records[i], columns_.width, result);
        ++chunk.summary.rows;
        switch (result.outcome) {
        case RowOutcome::Computed: ++chunk.summary.computed; break;
        case RowOutcome::Missing: ++chunk.summary.missing; break;
        case RowOutcome::Error: ++chunk.summary.errors; break;
        }
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
    CsvWriter writer(out, crLf_ ? "\r\n" : "\n");
    std::vector<std::string> outputHeader = header_;
    outputHeader.emplace_back("centile");
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
        chunk.count = 0;
        while (chunk.count < chunk.records.size() && reader_.next(chunk.records[chunk.count]))
            ++chunk.count;
        chunk.readFailed = reader_.readFailed();
        atEnd = chunk.readFailed || chunk.count < chunk.records.size();
        return chunk.count > 0 || chunk.readFailed;
    };
    steps.process = [this](Chunk& chunk) { processChunk(chunk); };
    steps.write = [&](Chunk& chunk) {
        if (chunk.readFailed)
            throw BatchError("cannot read the input after " + std::to_string(summary.rows) + " rows");
        out.write(chunk.output.data(), static_cast<std::streamsize>(chunk.output.size()));
        summary.rows += chunk.summary.rows;
        summary.computed += chunk.summary.computed;
        summary.missing += chunk.summary.missing;
        summary.errors += chunk.summary.errors;
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
