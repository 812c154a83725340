// The outcome of one birth, whatever door it came through: the one record
// every front end formats (calc's text and JSON, a batch row, a Python row or
// dict, an HTTP answer, a C struct).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "platform/runtime_error.h"
#include "reading/band.h"
#include "reading/plausibility.h"

namespace wrenfield::reading {

enum class Outcome : std::uint8_t {
    Computed,  // a centile, with its band and flags
    Missing,   // an input has no value
    Refused,   // an input or an option cannot be used (unreadable, infinite, not above 0, unknown population)
    Failed,    // the model raised a run-time error (an overflow, say)
    Flagged,   // computed, but strict and flagged: no centile is reported
};

// How the births of a call are read.
struct ReadingOptions {
    BandThresholds thresholds;
    // A flagged birth is an error ("flagged: ...") instead of a centile.
    bool strict = false;
    // Every birth by the population's method itself (1001 slices, one record
    // at a time), for audits, instead of the batch kernel.
    bool exact = false;
};

struct BirthResult {
    Outcome outcome = Outcome::Refused;
    engine::Population population = engine::Population::UnitedKingdom;
    // The inputs as the model took them (gestation in days); set from
    // Computed on, and for Failed.
    engine::CentileInputs inputs;
    // The centile (percent, unrounded) and the values around it, for
    // Computed and Flagged.
    engine::CentileDetail detail;
    BandThresholds thresholds;  // the band's
    Band band = Band::Appropriate;
    std::vector<Flag> flags;  // the inputs' flags, then the centile's own

    // Every outcome but Computed: what went wrong, in the words every door
    // shows ("missing: bwt, gest", "sex: must be a finite number, not inf").
    std::string error;
    // The input or option at fault ("bwt", "population", "sga"), or empty.
    std::string field;
    // Failed: the model's run-time error.
    std::optional<ErrorNumber> errorNumber;

    bool computed() const noexcept { return outcome == Outcome::Computed; }
    double centile() const noexcept { return detail.centile; }
};

// Missing or any kind of error, as the batch and its summary count them.
inline bool isError(Outcome outcome) noexcept
{
    return outcome != Outcome::Computed && outcome != Outcome::Missing;
}

}  // namespace wrenfield::reading
