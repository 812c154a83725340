// The reading of births that may go to the model (admission.h): one road for
// one birth and for many, so that a birth gets the same centile to the last
// bit, the same band and the same flags whether it comes alone, in an array,
// a column or a file.
//
// By default the centiles come from the batch kernel (batch_kernel.h: the
// 1001-slice sum in closed form, several births in the vector lanes, within
// 1e-11 percentage points of the population's method). A centile within
// kBandRecomputeDistance of a point where something is decided from it (a
// band threshold, 0 or 100, a rounding half) is recomputed by the method, so
// no band, flag or rounded centile ever depends on the kernel's last bits. A
// birth the kernel cannot take (a deviation beyond its reach, a value that
// overflows) goes to the method, which gives its result or its run-time
// error. With ReadingOptions::exact every birth is computed by the method.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "engine/batch_kernel.h"
#include "reading/result.h"
#include "reading/vocabulary.h"

namespace wrenfield::reading {

// A birth admitted to the model, the options it is read with, and where its
// result goes.
struct PendingBirth {
    engine::BatchRecord record;
    const ReadingOptions* options = nullptr;
    BirthResult* result = nullptr;
};

// Room reused from one call to the next.
struct ReadingScratch {
    std::vector<engine::BatchRecord> records;
    std::vector<engine::BatchOutcome> outcomes;
    std::vector<std::size_t> inKernel;
};

// Computes every pending birth and reads it into its result: Computed (or
// Flagged under strict) with the centile, the values around it, the band and
// the flags, or Failed with the method's run-time error.
void readPending(std::span<const PendingBirth> births, ReadingScratch& scratch);

// The common case of readPending, for callers that would only format it:
// a birth computed with no flag and a centile near no decision point, whose
// result would hold nothing beyond its centile and its band. Every record
// must be admissible (valuesAdmissible). `plain` tells which births are
// such; any other (every one under ReadingOptions::exact) is for
// readPending to read, and gives there what it would have given anyway.
struct PlainReading {
    double centile = 0;
    Band band = Band::Appropriate;
    bool plain = false;
};
void readPlain(std::span<const engine::BatchRecord> records, const ReadingOptions& options,
               std::span<PlainReading> readings, ReadingScratch& scratch);
// The same, also handing back the values around each centile (term weight,
// weeks, proportion, expected weight, spread, deviation) for callers that
// show them: details[k] is what the result's detail would hold, for every
// plain birth. `details` has the size of `records`.
void readPlain(std::span<const engine::BatchRecord> records, const ReadingOptions& options,
               std::span<PlainReading> readings, std::span<engine::CentileDetail> details, ReadingScratch& scratch);

// One birth, through the same road: its admission, then readPending.
BirthResult readBirth(const BirthReading& birth, const ReadingOptions& options = {});

// One birth of plain values (all seven given, the population known).
BirthResult readValues(engine::Population population, const engine::CentileInputs& values,
                       const ReadingOptions& options = {});

}  // namespace wrenfield::reading
