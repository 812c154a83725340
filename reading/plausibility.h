// Where the model is credible. One table gives, for each input, the range
// within which a value is a real pregnancy and outside which it is almost
// surely a unit or typing mistake (weeks typed as days, metres as
// centimetres). A value outside gets a named flag; the centile is still
// computed, since the population methods define a result for any number.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"

namespace wrenfield::reading {

// One row of the table: a credible range, both ends included.
struct PlausibleRange {
    std::string_view field;     // "gest": the parameter's name
    std::string_view unit;      // the unit the value is in ("days", "g", "code")
    double low;
    double high;
    bool whole;                 // only whole numbers are credible (the codes)
    std::string_view lowText;   // the lower end as a flag says it ("22 weeks")
    std::string_view highText;
    std::string_view lowHint;   // the likely mistake behind a value below ("weeks typed as days?")
    std::string_view highHint;
    std::string_view source;    // where the range comes from
};

// The rows for bwt, gest, wt, ht, sex and par, in that order. Ethnic-group
// codes are credible when the population's list names them (its coefficient
// set); there is no range for them.
std::span<const PlausibleRange> plausibleRanges();
const PlausibleRange& plausibleRange(std::string_view field);

// One finding about a birth. `code` is a stable identifier for programs
// ("gest_low", "eth_unknown", "centile_above_100"), `text` says it for people:
// "gest below 22 weeks — weeks typed as days?".
struct Flag {
    std::string_view code;
    std::string text;

    bool operator==(const Flag&) const = default;
};

// Every code a flag can have, in the order flags are given.
std::span<const std::string_view> flagCodes();

// The flags of the inputs, in the order bwt, gest, wt, ht, sex, eth, par.
// Values that are not finite get no flag: the rules of admission refuse them.
std::vector<Flag> inputFlags(engine::Population population, const engine::CentileInputs& inputs);
// The same, added to `flags`.
void addInputFlags(engine::Population population, const engine::CentileInputs& inputs, std::vector<Flag>& flags);

// Appends the flag of a centile below 0 or above 100 (the far tails of the
// midpoint integration), if it is one.
void addCentileFlags(double centile, std::vector<Flag>& flags);

// "gest_low, eth_unknown" for summaries; "; "-joined texts for an error column.
std::string flagTexts(std::span<const Flag> flags, std::string_view separator = "; ");

}  // namespace wrenfield::reading
