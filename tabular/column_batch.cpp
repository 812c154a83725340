#include "tabular/column_batch.h"

#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "engine/batch_kernel.h"
#include "engine/centile_model.h"
#include "engine/plausibility.h"
#include "engine/reading.h"
#include "platform/runtime_error.h"
#include "tabular/units.h"

namespace wrenfield::tabular {

namespace {

// Rows computed together: the unit the threads share out, and how often a
// stop request is looked at.
constexpr std::size_t kChunkRows = 4096;

constexpr double kNotComputed = std::numeric_limits<double>::quiet_NaN();

void checkSpan(std::size_t size, std::size_t rows, bool optional, const char* name)
{
    if (size == rows || (optional && size == 0))
        return;
    throw std::invalid_argument(std::string("computeColumns: the ") + name + " output needs one element per row");
}

void checkIndex(const TextColumn& column, std::size_t rows, std::string_view name)
{
    for (std::size_t r = 0; r < rows; ++r)
        if (column.index[r] >= static_cast<std::int64_t>(column.texts.size()))
            throw std::invalid_argument("computeColumns: an index of the " + std::string(name) +
                                        " texts lies beyond them");
}

// The unit the method takes for each measurement; nothing for the others.
std::optional<Unit> methodUnit(InputField field)
{
    switch (field) {
    case InputField::Bwt: return Unit::Grams;
    case InputField::Wt: return Unit::Kilograms;
    case InputField::Ht: return Unit::Centimetres;
    default: return std::nullopt;
    }
}

std::optional<Unit> dialectUnit(InputField field, const InputDialect& dialect)
{
    switch (field) {
    case InputField::Bwt: return dialect.bwtUnit;
    case InputField::Wt: return dialect.wtUnit;
    case InputField::Ht: return dialect.htUnit;
    default: return std::nullopt;
    }
}

// What the vocabulary makes of every distinct text, read once before the
// rows are computed and shared by the threads.
struct Readings {
    // Per input: the reading of each distinct text. Group names belong to a
    // population, so the ethnic group's texts are read once per population.
    std::array<std::vector<FieldReading>, kInputFieldCount> fields;
    std::array<std::vector<FieldReading>, engine::kPopulationCount> groups;
    std::vector<std::optional<engine::Population>> populations;
    // Bare numbers in a unit other than the method's are converted.
    std::array<std::optional<Unit>, kInputFieldCount> numberUnit;
};

std::shared_ptr<const Readings> readTexts(const ColumnBatchInput& input)
{
    auto readings = std::make_shared<Readings>();
    const InputDialect& dialect = input.settings.dialect;
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        auto field = static_cast<InputField>(c);
        const InputColumn& column = input.inputs[c];
        if (!column.texts) {
            auto from = dialectUnit(field, dialect);
            if (from && from != methodUnit(field))
                readings->numberUnit[c] = from;
            continue;
        }
        checkIndex(*column.texts, input.rows, kInputColumns[c]);
        if (field == InputField::Eth) {
            for (const engine::CoefficientSet& set : engine::allCoefficientSets())
                for (const std::string& text : column.texts->texts)
                    readings->groups[static_cast<std::size_t>(set.population)].push_back(
                        readField(field, set, text, dialect));
            continue;
        }
        const engine::CoefficientSet& set = engine::coefficients(input.settings.defaultPopulation);
        for (const std::string& text : column.texts->texts)
            readings->fields[c].push_back(readField(field, set, text, dialect));
    }
    if (input.population) {
        checkIndex(*input.population, input.rows, "population");
        for (const std::string& text : input.population->texts)
            readings->populations.push_back(
                readRowPopulation(text, input.settings.defaultPopulation, dialect).population);
    }
    return readings;
}

class ColumnRun {
public:
    ColumnRun(const ColumnBatchInput& input, const ColumnBatchOutput& output, const ColumnBatchOptions& options)
        : input_(input), output_(output), options_(options)
    {
        checkSpan(output.centile.size(), input.rows, false, "centile");
        checkSpan(output.outcome.size(), input.rows, false, "outcome");
        checkSpan(output.band.size(), input.rows, true, "band");
        checkSpan(output.weeks.size(), input.rows, true, "weeks");
        checkSpan(output.expected.size(), input.rows, true, "expected");
        checkSpan(output.z.size(), input.rows, true, "z");
        if (auto problem = engine::thresholdProblem(input.settings.thresholds))
            throw std::invalid_argument("computeColumns: " + *problem);
        reading_ = options.flags || input.settings.strict || !output.band.empty() || !output.weeks.empty() ||
                   !output.expected.empty() || !output.z.empty();
        readings_ = readTexts(input);
    }

    std::size_t chunks() const { return (input_.rows + kChunkRows - 1) / kChunkRows; }

    // Computes chunk `c`; its messages and flags go to `part`, its counts to `summary`.
    void computeChunk(std::size_t c, ColumnBatchSummary& part, ColumnBatchSummary& summary)
    {
        std::size_t begin = c * kChunkRows;
        std::size_t end = std::min(input_.rows, begin + kChunkRows);
        records_.clear();
        rows_.clear();
        for (std::size_t r = begin; r < end; ++r) {
            std::optional<engine::Population> population = input_.settings.defaultPopulation;
            std::optional<std::string_view> populationText;
            if (input_.population) {
                std::int64_t i = input_.population->index[r];
                if (i >= 0) {
                    population = readings_->populations[static_cast<std::size_t>(i)];
                    populationText = input_.population->texts[static_cast<std::size_t>(i)];
                }
            }
            double values[kInputFieldCount];
            bool complete = population.has_value();
            for (std::size_t k = 0; k < kInputFieldCount && complete; ++k) {
                if (!input_.inputs[k].texts) {
                    values[k] = number(k, r);
                    complete = !std::isnan(values[k]);
                } else {
                    const FieldReading* reading = textReading(k, r, population);
                    complete = reading && reading->ok();
                    if (complete)
                        values[k] = reading->value;
                }
            }
            if (!complete) {
                incomplete(r, population, populationText, part, summary);
                continue;
            }
            records_.push_back({*population, {values[0], values[1], values[2], values[3], values[4], values[5],
                                              values[6]}});
            rows_.push_back(r);
        }

        outcomes_.resize(records_.size());
        engine::computeCentiles(records_, outcomes_);
        for (std::size_t k = 0; k < records_.size(); ++k) {
            if (outcomes_[k].error)
                methodError(rows_[k], records_[k], *outcomes_[k].error, part, summary);
            else
                computed(rows_[k], records_[k], outcomes_[k].centile, part, summary);
        }
    }

private:
    // The bare number of a numeric input, in the method's unit.
    double number(std::size_t k, std::size_t row) const
    {
        double value = input_.inputs[k].numbers[row];
        if (readings_->numberUnit[k] && !std::isnan(value))
            value = convertUnits(value, *readings_->numberUnit[k], *methodUnit(static_cast<InputField>(k)));
        return value;
    }

    // The vocabulary's reading of a text input's row, or nothing where the
    // input is numbers or the row's text is missing.
    const FieldReading* textReading(std::size_t k, std::size_t row,
                                    std::optional<engine::Population> population) const
    {
        const std::optional<TextColumn>& texts = input_.inputs[k].texts;
        if (!texts)
            return nullptr;
        std::int64_t i = texts->index[row];
        if (i < 0)
            return nullptr;
        if (static_cast<InputField>(k) == InputField::Eth) {
            // As the vocabulary reads a birth: a row of an unknown population
            // reads its group in the default's list.
            auto p = population.value_or(input_.settings.defaultPopulation);
            return &readings_->groups[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)];
        }
        return &readings_->fields[k][static_cast<std::size_t>(i)];
    }

    // A row with a missing or unreadable input, or an unknown population: the
    // batch's own reading of such a row.
    void incomplete(std::size_t row, std::optional<engine::Population> population,
                    std::optional<std::string_view> populationText, ColumnBatchSummary& part,
                    ColumnBatchSummary& summary)
    {
        BirthReading birth;
        birth.population = population;
        RowFields fields;
        fields.population = populationText;
        for (std::size_t k = 0; k < kInputFieldCount; ++k) {
            if (!input_.inputs[k].texts) {
                double value = number(k, row);
                if (!std::isnan(value))
                    birth.fields[k] = {FieldStatus::Value, value, {}};
                continue;
            }
            if (const FieldReading* reading = textReading(k, row, population)) {
                birth.fields[k] = *reading;
                fields.inputs[k] = input_.inputs[k].texts->texts[static_cast<std::size_t>(
                    input_.inputs[k].texts->index[row])];
            }
        }
        RowResult result = incompleteRow(fields, birth);
        finish(row, result.outcome, kNotComputed, std::move(result.error), part, summary);
    }

    // The kernel only says that the method raises an error; the method itself
    // says which, in its own words.
    void methodError(std::size_t row, const engine::BatchRecord& record, ErrorNumber number,
                     ColumnBatchSummary& part, ColumnBatchSummary& summary)
    {
        std::string text(errorDescription(number));
        try {
            engine::computeCentile(record.population, record.inputs);
        } catch (const RuntimeError& error) {
            text = error.what();
        }
        finish(row, RowOutcome::Error, kNotComputed, std::move(text), part, summary);
    }

    void computed(std::size_t row, const engine::BatchRecord& record, double centile, ColumnBatchSummary& part,
                  ColumnBatchSummary& summary)
    {
        const engine::BandThresholds& thresholds = input_.settings.thresholds;
        if (!reading_) {
            // The batch reads every computed row; without its band or flags
            // wanted, only its choice of centile matters.
            if (engine::nearBandThreshold(centile, thresholds)) {
                methodCentile(row, record, part, summary);
                return;
            }
            finish(row, RowOutcome::Computed, centile, {}, part, summary);
            return;
        }
        engine::Reading reading;
        try {
            reading = engine::readBatchBirth(record, centile, thresholds);
        } catch (const RuntimeError& error) {
            finish(row, RowOutcome::Error, kNotComputed, error.what(), part, summary);
            return;
        }
        if (input_.settings.strict && !reading.flags.empty()) {
            RowResult flagged = readingRow(reading, input_.settings);
            finish(row, flagged.outcome, kNotComputed, std::move(flagged.error), part, summary);
        } else {
            finish(row, RowOutcome::Computed, reading.centile(), {}, part, summary);
            writeReading(row, &reading);
        }
        if (options_.flags && !reading.flags.empty())
            part.flags.push_back({row, engine::flagTexts(reading.flags)});
    }

    void methodCentile(std::size_t row, const engine::BatchRecord& record, ColumnBatchSummary& part,
                       ColumnBatchSummary& summary)
    {
        try {
            double centile = engine::computeCentile(record.population, record.inputs).centile;
            finish(row, RowOutcome::Computed, centile, {}, part, summary);
        } catch (const RuntimeError& error) {
            finish(row, RowOutcome::Error, kNotComputed, error.what(), part, summary);
        }
    }

    void finish(std::size_t row, RowOutcome outcome, double centile, std::string message, ColumnBatchSummary& part,
                ColumnBatchSummary& summary)
    {
        output_.centile[row] = centile;
        output_.outcome[row] = static_cast<std::uint8_t>(outcome);
        switch (outcome) {
        case RowOutcome::Computed: ++summary.computed; break;
        case RowOutcome::Missing: ++summary.missing; break;
        case RowOutcome::Error: ++summary.errors; break;
        }
        if (outcome != RowOutcome::Computed) {
            part.messages.push_back({row, std::move(message)});
            writeReading(row, nullptr);
        }
    }

    // The band and the intermediate values of a computed row; a row without
    // a reading gets none.
    void writeReading(std::size_t row, const engine::Reading* reading)
    {
        if (!output_.band.empty())
            output_.band[row] = reading ? static_cast<std::uint8_t>(reading->band) : kNoBand;
        if (!output_.weeks.empty())
            output_.weeks[row] = reading ? reading->detail.weeks : kNotComputed;
        if (!output_.expected.empty())
            output_.expected[row] = reading ? reading->detail.expected : kNotComputed;
        if (!output_.z.empty())
            output_.z[row] = reading ? reading->detail.z : kNotComputed;
    }

    const ColumnBatchInput& input_;
    const ColumnBatchOutput& output_;
    const ColumnBatchOptions& options_;
    bool reading_ = false;
    std::shared_ptr<const Readings> readings_;
    // Working space of the chunk in hand; each thread has its own run.
    std::vector<engine::BatchRecord> records_;
    std::vector<std::size_t> rows_;
    std::vector<engine::BatchOutcome> outcomes_;
};

void addCounts(ColumnBatchSummary& total, const ColumnBatchSummary& part)
{
    total.computed += part.computed;
    total.missing += part.missing;
    total.errors += part.errors;
}

}  // namespace

ColumnBatchSummary computeColumns(const ColumnBatchInput& input, const ColumnBatchOutput& output,
                                  const ColumnBatchOptions& options)
{
    const ColumnRun prototype(input, output, options);  // checks the arguments and reads the texts once
    std::size_t chunkCount = prototype.chunks();
    std::size_t threads = std::max<std::size_t>(1, std::min(options.threads, chunkCount));

    std::vector<ColumnBatchSummary> parts(chunkCount);
    std::vector<ColumnBatchSummary> counts(threads);
    std::atomic<std::size_t> nextChunk{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureMutex;

    auto work = [&](std::size_t worker) {
        try {
            ColumnRun run = prototype;
            for (;;) {
                if (failed.load() || (options.stop && options.stop->load()))
                    return;
                std::size_t c = nextChunk.fetch_add(1);
                if (c >= chunkCount)
                    return;
                run.computeChunk(c, parts[c], counts[worker]);
                if (options.rowsDone)
                    options.rowsDone->fetch_add(std::min(kChunkRows, input.rows - c * kChunkRows));
            }
        } catch (...) {
            std::lock_guard lock(failureMutex);
            if (!failure)
                failure = std::current_exception();
            failed = true;
        }
    };

    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t)
        pool.emplace_back(work, t);
    work(0);
    for (std::thread& thread : pool)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);

    ColumnBatchSummary summary;
    for (const ColumnBatchSummary& part : counts)
        addCounts(summary, part);
    summary.stopped = summary.computed + summary.missing + summary.errors < input.rows;
    for (ColumnBatchSummary& part : parts) {
        for (RowMessage& message : part.messages)
            summary.messages.push_back(std::move(message));
        for (RowMessage& flag : part.flags)
            summary.flags.push_back(std::move(flag));
    }
    return summary;
}

}  // namespace wrenfield::tabular
