#include "cli/batch.h"

#include <algorithm>
#include <cctype>

#include "cli/population_choice.h"
#include "engine/population_methods.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "platform/variant.h"

namespace wrenfield::cli {

namespace {

// Records computed between two writes; also the unit a parallel run would share out.
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

std::vector<RowResult> BatchJob::computeChunk(std::span<const CsvRecord> records) const
{
    std::vector<RowResult> results;
    results.reserve(records.size());
    for (const CsvRecord& record : records) {
        if (record.malformed()) {
            results.push_back(malformedRow(record));
            continue;
        }
        RowFields fields;
        for (std::size_t c = 0; c < kInputColumns.size(); ++c)
            fields.inputs[c] = record.fields[columns_.inputs[c]];
        if (columns_.population)
            fields.population = record.fields[*columns_.population];
        results.push_back(computeRow(fields, defaultPopulation_));
    }
    return results;
}

BatchSummary BatchJob::run(std::ostream& out, const std::function<void(long)>& progress)
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
    std::vector<CsvRecord> chunk(kChunkRecords);
    for (;;) {
        std::size_t count = 0;
        while (count < chunk.size() && reader_.next(chunk[count]))
            ++count;
        if (reader_.readFailed())
            throw BatchError("cannot read the input after " + std::to_string(summary.rows) + " rows");
        std::span<const CsvRecord> records(chunk.data(), count);
        std::vector<RowResult> results = computeChunk(records);
        for (std::size_t i = 0; i < count; ++i) {
            writeRow(writer, records[i], columns_.width, results[i]);
            ++summary.rows;
            switch (results[i].outcome) {
            case RowOutcome::Computed: ++summary.computed; break;
            case RowOutcome::Missing: ++summary.missing; break;
            case RowOutcome::Error: ++summary.errors; break;
            }
        }
        out.flush();
        if (!out)
            throw BatchError("cannot write the output after " + std::to_string(summary.rows) + " rows");
        if (progress && count > 0)
            progress(summary.rows);
        if (count < chunk.size())
            break;
    }
    return summary;
}

}  // namespace wrenfield::cli
