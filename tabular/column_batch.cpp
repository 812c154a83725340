#include "tabular/column_batch.h"

#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "engine/batch_kernel.h"
#include "engine/centile_model.h"
#include "engine/plausibility.h"
#include "engine/reading.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "tabular/population_choice.h"

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
        if (auto problem = engine::thresholdProblem(options.thresholds))
            throw std::invalid_argument("computeColumns: " + *problem);
        reading_ = options.flags || !output.band.empty() || !output.weeks.empty() || !output.expected.empty() ||
                   !output.z.empty();
        // Each distinct population text is looked up once.
        for (const std::string& name : input.population.names)
            populations_.push_back(name.empty() ? std::optional(input.defaultPopulation) : populationFromText(name));
        if (input.population.index)
            for (std::size_t r = 0; r < input.rows; ++r)
                if (input.population[r] >= static_cast<std::int64_t>(input.population.names.size()))
                    throw std::invalid_argument("computeColumns: a population index lies beyond the names");
    }

    std::size_t chunks() const { return (input_.rows + kChunkRows - 1) / kChunkRows; }

    // Computes chunk `c`; its messages and flags go to `part`, its counts to `summary`.
    void computeChunk(std::size_t c, ColumnBatchSummary& part, ColumnBatchSummary& summary)
    {
        std::vector<RowMessage>& messages = part.messages;
        std::size_t begin = c * kChunkRows;
        std::size_t end = std::min(input_.rows, begin + kChunkRows);
        records_.clear();
        rows_.clear();
        for (std::size_t r = begin; r < end; ++r) {
            engine::CentileInputs in{input_.inputs[0][r], input_.inputs[1][r], input_.inputs[2][r],
                                     input_.inputs[3][r], input_.inputs[4][r], input_.inputs[5][r],
                                     input_.inputs[6][r]};
            std::optional<engine::Population> population = input_.defaultPopulation;
            std::optional<std::string_view> populationText;
            if (input_.population.index) {
                std::int64_t i = input_.population[r];
                if (i >= 0) {
                    population = populations_[static_cast<std::size_t>(i)];
                    populationText = input_.population.names[static_cast<std::size_t>(i)];
                }
            }
            bool missing = std::isnan(in.bwt) || std::isnan(in.gestDays) || std::isnan(in.wt) ||
                           std::isnan(in.ht) || std::isnan(in.sex) || std::isnan(in.eth) || std::isnan(in.par);
            if (missing || !population) {
                // As a batch row: the missing fields empty, the others as
                // their numbers' texts, so the message is the batch's.
                std::array<std::string, kInputColumns.size()> texts;
                const double numbers[] = {in.bwt, in.gestDays, in.wt, in.ht, in.sex, in.eth, in.par};
                RowFields fields;
                for (std::size_t k = 0; k < texts.size(); ++k) {
                    if (!std::isnan(numbers[k]))
                        texts[k] = shortestText(numbers[k]);
                    fields.inputs[k] = texts[k];
                }
                fields.population = populationText;
                RowResult result = computeRow(fields, input_.defaultPopulation);
                finish(r, result.outcome, kNotComputed, std::move(result.error), messages, summary);
                if (options_.flags && population)
                    addFlags(r, engine::inputFlags(*population, in), part);
                continue;
            }
            records_.push_back({*population, in});
            rows_.push_back(r);
        }

        outcomes_.resize(records_.size());
        engine::computeCentiles(records_, outcomes_);
        for (std::size_t k = 0; k < records_.size(); ++k) {
            std::size_t r = rows_[k];
            if (!outcomes_[k].error) {
                if (!reading_) {
                    finish(r, RowOutcome::Computed, outcomes_[k].centile, {}, messages, summary);
                    continue;
                }
                engine::Reading reading =
                    engine::readBatchBirth(records_[k], outcomes_[k].centile, options_.thresholds);
                finish(r, RowOutcome::Computed, reading.centile(), {}, messages, summary);
                writeReading(r, &reading);
                if (options_.flags)
                    addFlags(r, reading.flags, part);
                continue;
            }
            // The kernel only says that the method raises an error; the
            // method itself says which, in its own words.
            std::string text(errorDescription(*outcomes_[k].error));
            try {
                engine::computeCentile(records_[k].population, records_[k].inputs);
            } catch (const RuntimeError& error) {
                text = error.what();
            }
            finish(r, RowOutcome::Error, kNotComputed, std::move(text), messages, summary);
            if (options_.flags)
                addFlags(r, engine::inputFlags(records_[k].population, records_[k].inputs), part);
        }
    }

private:
    void finish(std::size_t row, RowOutcome outcome, double centile, std::string message,
                std::vector<RowMessage>& messages, ColumnBatchSummary& summary)
    {
        output_.centile[row] = centile;
        output_.outcome[row] = static_cast<std::uint8_t>(outcome);
        switch (outcome) {
        case RowOutcome::Computed: ++summary.computed; break;
        case RowOutcome::Missing: ++summary.missing; break;
        case RowOutcome::Error: ++summary.errors; break;
        }
        if (outcome != RowOutcome::Computed) {
            messages.push_back({row, std::move(message)});
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

    static void addFlags(std::size_t row, const std::vector<engine::Flag>& flags, ColumnBatchSummary& part)
    {
        if (!flags.empty())
            part.flags.push_back({row, engine::flagTexts(flags)});
    }

    const ColumnBatchInput& input_;
    const ColumnBatchOutput& output_;
    const ColumnBatchOptions& options_;
    bool reading_ = false;
    std::vector<std::optional<engine::Population>> populations_;
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
    const ColumnRun prototype(input, output, options);  // checks the arguments once
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
