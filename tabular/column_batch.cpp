#include "tabular/column_batch.h"

#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "reading/admission.h"
#include "reading/births.h"
#include "reading/json.h"
#include "reading/units.h"

namespace wrenfield::tabular {

namespace {

using reading::BirthReading;
using reading::FieldReading;
using reading::InputField;
using reading::Outcome;
using reading::Unit;

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
    case InputField::Bwt:
        return Unit::Grams;
    case InputField::Wt:
        return Unit::Kilograms;
    case InputField::Ht:
        return Unit::Centimetres;
    default:
        return std::nullopt;
    }
}

std::optional<Unit> dialectUnit(InputField field, const reading::InputDialect& dialect)
{
    switch (field) {
    case InputField::Bwt:
        return dialect.bwtUnit;
    case InputField::Wt:
        return dialect.wtUnit;
    case InputField::Ht:
        return dialect.htUnit;
    default:
        return std::nullopt;
    }
}

// What the vocabulary makes of every distinct text, read once before the
// rows are computed and shared by the threads.
struct Readings {
    // Per input: the reading of each distinct text. Group names belong to a
    // population, so the ethnic group's texts are read once per population.
    std::array<std::vector<FieldReading>, kInputFieldCount> fields;
    std::array<std::vector<FieldReading>, engine::kPopulationCount> groups;
    std::vector<reading::PopulationReading> populations;
    // Bare numbers in a unit other than the method's are converted.
    std::array<std::optional<Unit>, kInputFieldCount> numberUnit;
};

std::shared_ptr<const Readings> readTexts(const ColumnBatchInput& input)
{
    auto readings = std::make_shared<Readings>();
    const reading::InputDialect& dialect = input.settings.dialect;
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
                        reading::readField(field, set, text, dialect));
            continue;
        }
        const engine::CoefficientSet& set = engine::coefficients(input.settings.defaultPopulation);
        for (const std::string& text : column.texts->texts)
            readings->fields[c].push_back(reading::readField(field, set, text, dialect));
    }
    if (input.population) {
        checkIndex(*input.population, input.rows, "population");
        for (const std::string& text : input.population->texts)
            readings->populations.push_back(
                reading::readRowPopulation(text, input.settings.defaultPopulation, dialect));
    }
    return readings;
}

class ColumnRun {
public:
    ColumnRun(const ColumnBatchInput& input, const ColumnBatchOutput& output, const ColumnBatchOptions& options)
        : input_(input)
        , output_(output)
        , options_(options)
    {
        checkSpan(output.centile.size(), input.rows, false, "centile");
        checkSpan(output.outcome.size(), input.rows, false, "outcome");
        checkSpan(output.band.size(), input.rows, true, "band");
        checkSpan(output.termWeight.size(), input.rows, true, "term weight");
        checkSpan(output.weeks.size(), input.rows, true, "weeks");
        checkSpan(output.proportion.size(), input.rows, true, "proportion");
        checkSpan(output.expected.size(), input.rows, true, "expected");
        checkSpan(output.spread.size(), input.rows, true, "spread");
        checkSpan(output.z.size(), input.rows, true, "z");
        if (output.records && output.records->size() != input.rows)
            throw std::invalid_argument("computeColumns: the records output needs one element per row");
        if (auto problem = reading::thresholdProblem(input.settings.options.thresholds))
            throw std::invalid_argument("computeColumns: " + *problem);
        readings_ = readTexts(input);
        wantDetail_ = !output.termWeight.empty() || !output.weeks.empty() || !output.proportion.empty() ||
            !output.expected.empty() || !output.spread.empty() || !output.z.empty();
    }

    std::size_t chunks() const { return (input_.rows + kChunkRows - 1) / kChunkRows; }

    // Computes chunk `c`; its messages and flags go to `part`, its counts to `summary`.
    //
    // A common row (commonRecords) whose birth is plain (reading::readPlain: no
    // flag, no centile near a decision point) needs nothing beyond its
    // centile, its band and the values around the centile, which are written
    // straight to the outputs. Every other row, and every row when whole
    // records are wanted, is read into a full result (readPending), so each
    // row's outputs are what that reading gives it.
    void computeChunk(std::size_t c, ColumnBatchSummary& part, ColumnBatchSummary& summary)
    {
        const std::size_t begin = c * kChunkRows;
        const std::size_t end = std::min(input_.rows, begin + kChunkRows);
        const reading::ReadingOptions& options = input_.settings.options;

        // 1. The common rows' records, and the reading of their births.
        const bool plainRoute = !output_.records && !options.exact;
        commonRecords(begin, end);
        plain_.resize(records_.size());
        if (plainRoute) {
            if (wantDetail_) {
                details_.resize(records_.size());
                reading::readPlain(records_, options, plain_, details_, scratch_);
            } else {
                reading::readPlain(records_, options, plain_, scratch_);
            }
        } else {
            for (reading::PlainReading& birth : plain_)
                birth.plain = false;
        }

        // 2. The plain births' outputs; every other row to the full reading.
        generalRows_.clear();
        pending_.clear();
        std::size_t computed = 0;
        for (std::size_t r = begin; r < end; ++r) {
            const std::int32_t slot = slots_[r - begin];
            if (slot >= 0 && plain_[static_cast<std::size_t>(slot)].plain) {
                finishPlain(r, static_cast<std::size_t>(slot));
                ++computed;
                continue;
            }
            generalRows_.push_back(r);
        }
        summary.computed += computed;
        results_.resize(generalRows_.size());
        for (std::size_t g = 0; g < generalRows_.size(); ++g) {
            const std::size_t r = generalRows_[g];
            const std::int32_t slot = slots_[r - begin];
            reading::PendingBirth birth{{}, &options, &results_[g]};
            if (slot >= 0) {
                birth.record = records_[static_cast<std::size_t>(slot)];
                pending_.push_back(birth);
            } else if (reading::admitBirth(birthReading(r), birth.record, *birth.result)) {
                pending_.push_back(birth);
            }
        }
        reading::readPending(pending_, scratch_);
        // In row order, so that the chunk's messages and flags are.
        for (std::size_t g = 0; g < generalRows_.size(); ++g)
            finish(generalRows_[g], results_[g], part, summary);
    }

private:
    // The bare number of a numeric input, in the method's unit.
    double number(std::size_t k, std::size_t row) const
    {
        const InputColumn& column = input_.inputs[k];
        double value = column.wholeNumbers ? static_cast<double>((*column.wholeNumbers)[row]) : column.numbers[row];
        if (readings_->numberUnit[k] && !std::isnan(value))
            value = convertUnits(value, *readings_->numberUnit[k], *methodUnit(static_cast<InputField>(k)));
        return value;
    }

    // The population of a row: the column's reading of its text, or the
    // default where the column is absent or the row's value missing.
    const reading::PopulationReading* populationOf(std::size_t row) const
    {
        if (!input_.population)
            return nullptr;
        const std::int64_t i = input_.population->index[row];
        return i < 0 ? nullptr : &readings_->populations[static_cast<std::size_t>(i)];
    }

    // The vocabulary's reading of a text input's row; nothing where the
    // row's text is missing.
    const FieldReading* textReading(std::size_t k, std::size_t row, engine::Population population) const
    {
        const std::int64_t i = input_.inputs[k].texts->index[row];
        if (i < 0)
            return nullptr;
        // A group name is read in the row's own population.
        if (static_cast<InputField>(k) == InputField::Eth)
            return &readings_->groups[static_cast<std::size_t>(population)][static_cast<std::size_t>(i)];
        return &readings_->fields[k][static_cast<std::size_t>(i)];
    }

    // The common rows among rows [begin, end): every input a value the rules
    // admit, the population known. Their records go to records_ in row order,
    // and slots_ gives each row's record, or -1 for a row that birthReading
    // reads.
    void commonRecords(std::size_t begin, std::size_t end)
    {
        const std::size_t rows = end - begin;
        records_.resize(rows);
        slots_.resize(rows);
        // Where each numeric input lies, read once for the chunk.
        struct Numbers {
            const char* data = nullptr;
            std::ptrdiff_t stride = 0;
            bool whole = false;
        } numbers[kInputFieldCount];
        bool anyText = false, anyUnit = false;
        for (std::size_t k = 0; k < kInputFieldCount; ++k) {
            const InputColumn& column = input_.inputs[k];
            anyText = anyText || column.texts.has_value();
            anyUnit = anyUnit || readings_->numberUnit[k].has_value();
            if (column.wholeNumbers)
                numbers[k] = {reinterpret_cast<const char*>(column.wholeNumbers->data),
                              column.wholeNumbers->strideBytes, true};
            else
                numbers[k] = {reinterpret_cast<const char*>(column.numbers.data), column.numbers.strideBytes, false};
        }
        std::size_t common = 0;
        for (std::size_t i = 0; i < rows; ++i) {
            const std::size_t row = begin + i;
            engine::BatchRecord& record = records_[common];
            const reading::PopulationReading* named = populationOf(row);
            slots_[i] = -1;
            if (named && !named->population)
                continue;
            record.population = named ? *named->population : input_.settings.defaultPopulation;
            double values[kInputFieldCount];
            if (!anyText && !anyUnit) {
                // The common column: numbers in the method's units.
                for (std::size_t k = 0; k < kInputFieldCount; ++k) {
                    const char* at = numbers[k].data + static_cast<std::ptrdiff_t>(row) * numbers[k].stride;
                    values[k] = numbers[k].whole ? static_cast<double>(*reinterpret_cast<const std::int64_t*>(at))
                                                 : *reinterpret_cast<const double*>(at);
                }
            } else if (!textValues(row, record.population, values)) {
                continue;
            }
            record.inputs = {values[0], values[1], values[2], values[3], values[4], values[5], values[6]};
            if (!reading::valuesAdmissible(record.inputs))
                continue;
            slots_[i] = static_cast<std::int32_t>(common++);
        }
        records_.resize(common);
    }

    // The values of a row with text inputs or numbers in other units, each
    // in the method's unit; false where a text has no value the rules admit.
    bool textValues(std::size_t row, engine::Population population, double (&values)[kInputFieldCount]) const
    {
        for (std::size_t k = 0; k < kInputFieldCount; ++k) {
            if (!input_.inputs[k].texts) {
                values[k] = number(k, row);
                continue;
            }
            const FieldReading* reading = textReading(k, row, population);
            if (!reading || !reading->ok())
                return false;
            values[k] = reading->value;
        }
        return true;
    }

    BirthReading birthReading(std::size_t row) const
    {
        BirthReading birth;
        birth.population = input_.settings.defaultPopulation;
        if (const reading::PopulationReading* named = populationOf(row)) {
            birth.population = named->population;
            birth.populationError = named->error;
        }
        const engine::Population population = birth.population.value_or(input_.settings.defaultPopulation);
        for (std::size_t k = 0; k < kInputFieldCount; ++k) {
            if (!input_.inputs[k].texts) {
                birth.fields[k] = reading::numberField(number(k, row));
            } else if (const FieldReading* reading = textReading(k, row, population)) {
                birth.fields[k] = *reading;
            }
        }
        return birth;
    }

    // A plain birth: computed, with no flag and no message.
    void finishPlain(std::size_t row, std::size_t slot)
    {
        const reading::PlainReading& birth = plain_[slot];
        output_.centile[row] = birth.centile;
        output_.outcome[row] = static_cast<std::uint8_t>(Outcome::Computed);
        if (!output_.band.empty())
            output_.band[row] = static_cast<std::uint8_t>(birth.band);
        if (wantDetail_)
            putDetail(row, &details_[slot]);
    }

    // The values around the centile that are wanted; NaN for a row not computed.
    void putDetail(std::size_t row, const engine::CentileDetail* d)
    {
        auto put = [row, d](std::span<double> column, double engine::CentileDetail::*value) {
            if (!column.empty())
                column[row] = d ? d->*value : kNotComputed;
        };
        put(output_.termWeight, &engine::CentileDetail::termWeight);
        put(output_.weeks, &engine::CentileDetail::weeks);
        put(output_.proportion, &engine::CentileDetail::proportion);
        put(output_.expected, &engine::CentileDetail::expected);
        put(output_.spread, &engine::CentileDetail::spread);
        put(output_.z, &engine::CentileDetail::z);
    }

    void finish(std::size_t row, const reading::BirthResult& result, ColumnBatchSummary& part,
                ColumnBatchSummary& summary)
    {
        const bool computed = result.computed();
        output_.centile[row] = computed ? result.centile() : kNotComputed;
        output_.outcome[row] = static_cast<std::uint8_t>(result.outcome);
        if (computed)
            ++summary.computed;
        else if (result.outcome == Outcome::Missing)
            ++summary.missing;
        else
            ++summary.errors;
        if (!computed)
            part.messages.push_back({row, result.error});
        if (options_.flags && !result.flags.empty() && (computed || result.outcome == Outcome::Flagged))
            part.flags.push_back({row, reading::flagTexts(result.flags)});
        if (!output_.band.empty())
            output_.band[row] = computed ? static_cast<std::uint8_t>(result.band) : kNoBand;
        putDetail(row, computed ? &result.detail : nullptr);
        if (output_.records)
            (*output_.records)[row] = reading::resultJson(result);
    }

    const ColumnBatchInput& input_;
    const ColumnBatchOutput& output_;
    const ColumnBatchOptions& options_;
    std::shared_ptr<const Readings> readings_;
    bool wantDetail_ = false;  // any of the values around the centile
    // Working space of the chunk in hand; each thread has its own run.
    std::vector<engine::BatchRecord> records_;    // the common rows' records
    std::vector<std::int32_t> slots_;             // each row's record, or -1
    std::vector<reading::PlainReading> plain_;    // each record's plain reading
    std::vector<engine::CentileDetail> details_;  // each record's values, when wanted
    std::vector<std::size_t> generalRows_;        // the rows read in full, in order
    std::vector<reading::BirthResult> results_;   // their results
    std::vector<reading::PendingBirth> pending_;
    reading::ReadingScratch scratch_;
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
