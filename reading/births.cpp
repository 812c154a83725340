#include "reading/births.h"

#include <algorithm>

#include "reading/admission.h"
#include "reading/plain_rules.h"

namespace wrenfield::reading {

namespace {

using engine::BatchRecord;
using engine::CentileDetail;

void classify(const BatchRecord& record, const CentileDetail& detail, const ReadingOptions& options,
              BirthResult& result)
{
    result.outcome = Outcome::Computed;
    result.population = record.population;
    result.inputs = record.inputs;
    result.detail = detail;
    result.thresholds = options.thresholds;
    result.band = bandOf(detail.centile, options.thresholds);
    result.flags.clear();
    addInputFlags(record.population, record.inputs, result.flags);
    addCentileFlags(detail.centile, result.flags);
    result.error.clear();
    result.field.clear();
    result.errorNumber.reset();
    if (options.strict && !result.flags.empty()) {
        result.outcome = Outcome::Flagged;
        result.error = "flagged: " + flagTexts(result.flags);
        result.field = std::string(flagField(result.flags.front()));
    }
}

void failed(const BatchRecord& record, const RuntimeError& error, BirthResult& result)
{
    setProblem(result, Outcome::Failed, "the centile cannot be computed: " + std::string(error.description()), {});
    result.population = record.population;
    result.inputs = record.inputs;
    result.errorNumber = error.number();
}

// The population's method itself, for this record.
void byMethod(const BatchRecord& record, const ReadingOptions& options, BirthResult& result)
{
    try {
        classify(record, engine::computeCentile(record.population, record.inputs), options, result);
    } catch (const RuntimeError& error) {
        failed(record, error, result);
    }
}

// Births are handed to the kernel this many at a time: the deviations of one
// group stay in the first-level cache.
constexpr std::size_t kGroup = 512;

}  // namespace

void readPending(std::span<const PendingBirth> births, ReadingScratch& scratch)
{
    for (std::size_t base = 0; base < births.size(); base += kGroup) {
        const std::span<const PendingBirth> group = births.subspan(base, std::min(kGroup, births.size() - base));
        scratch.records.clear();
        scratch.inKernel.clear();
        for (std::size_t k = 0; k < group.size(); ++k) {
            const PendingBirth& birth = group[k];
            if (birth.options->exact) {
                byMethod(birth.record, *birth.options, *birth.result);
                continue;
            }
            scratch.records.push_back(birth.record);
            scratch.inKernel.push_back(k);
        }
        scratch.outcomes.resize(scratch.records.size());
        engine::computeCentiles(scratch.records, scratch.outcomes);
        for (std::size_t i = 0; i < scratch.inKernel.size(); ++i) {
            const PendingBirth& birth = group[scratch.inKernel[i]];
            const engine::BatchOutcome& outcome = scratch.outcomes[i];
            // The kernel only says that the method raises an error, and a
            // centile on a decision point is the method's to give.
            if (outcome.error || nearDecisionPoint(outcome.centile, birth.options->thresholds)) {
                byMethod(birth.record, *birth.options, *birth.result);
                continue;
            }
            classify(birth.record, outcome.detail, *birth.options, *birth.result);
        }
    }
}

void readPlain(std::span<const engine::BatchRecord> records, const ReadingOptions& options,
               std::span<PlainReading> readings, ReadingScratch& scratch)
{
    if (options.exact) {
        for (PlainReading& reading : readings)
            reading.plain = false;
        return;
    }
    // The rules are judged a group at a time, over arrays, without a branch
    // a birth: only a birth the quick judgement cannot clear goes to anyFlag.
    double centiles[kGroup];
    std::uint8_t near[kGroup];
    std::uint8_t quiet[kGroup];
    Band bands[kGroup];
    for (std::size_t base = 0; base < records.size(); base += kGroup) {
        const std::size_t count = std::min(kGroup, records.size() - base);
        const std::span<const BatchRecord> group = records.subspan(base, count);
        scratch.outcomes.resize(count);
        engine::computeCentiles(group, scratch.outcomes);
        for (std::size_t k = 0; k < count; ++k)
            centiles[k] = scratch.outcomes[k].detail.centile;
        markNearDecisionPoints({centiles, count}, options.thresholds, {near, count});
        markSurelyUnflagged(group, {centiles, count}, {quiet, count});
        bandsOf({centiles, count}, options.thresholds, {bands, count});
        for (std::size_t k = 0; k < count; ++k) {
            // As readPending and classify decide, without writing the result.
            PlainReading& reading = readings[base + k];
            const bool computed = !scratch.outcomes[k].error && !near[k];
            reading.plain = computed && (quiet[k] || !anyFlag(group[k].population, group[k].inputs, centiles[k]));
            reading.centile = centiles[k];
            reading.band = bands[k];
        }
    }
}

void readPlain(std::span<const engine::BatchRecord> records, const ReadingOptions& options,
               std::span<PlainReading> readings, std::span<engine::CentileDetail> details, ReadingScratch& scratch)
{
    if (options.exact) {
        for (PlainReading& reading : readings)
            reading.plain = false;
        return;
    }
    // One group at a time through the plain reading, which leaves the
    // group's kernel outcomes in the scratch: the details are taken there.
    for (std::size_t base = 0; base < records.size(); base += kGroup) {
        const std::size_t count = std::min(kGroup, records.size() - base);
        readPlain(records.subspan(base, count), options, readings.subspan(base, count), scratch);
        for (std::size_t k = 0; k < count; ++k)
            details[base + k] = scratch.outcomes[k].detail;
    }
}

BirthResult readBirth(const BirthReading& birth, const ReadingOptions& options)
{
    BirthResult result;
    PendingBirth pending;
    if (!admitBirth(birth, pending.record, result))
        return result;
    pending.options = &options;
    pending.result = &result;
    ReadingScratch scratch;
    readPending({&pending, 1}, scratch);
    return result;
}

BirthResult readValues(engine::Population population, const engine::CentileInputs& values,
                       const ReadingOptions& options)
{
    BirthReading birth;
    birth.population = population;
    const double fields[kInputFieldCount] = {values.bwt, values.gestDays, values.wt, values.ht,
                                             values.sex, values.eth,      values.par};
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        birth.fields[c] = numberField(fields[c]);
    return readBirth(birth, options);
}

}  // namespace wrenfield::reading
