// Where the model is credible. One table gives, for each input, the range
// within which a value is a real pregnancy and outside which it is almost
// surely a unit or typing mistake (weeks typed as days, metres as
// centimetres), and the same for the body mass index that the booking weight
// and the height give together (a weight in pounds passes the weight's own
// range, but not with the height). A value outside gets a named flag; the
// centile is still computed, since the population methods define a result
// for any number. (A measurement of 0 or below, or any value that is not
// finite, is refused before it gets here: admission.h.)
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
    std::string_view field;  // "gest": the parameter's name
    std::string_view unit;   // the unit the value is in ("days", "g", "code")
    double low;
    double high;
    bool whole;                // only whole numbers are credible (the codes)
    std::string_view lowText;  // the lower end as a flag says it ("22 weeks")
    std::string_view highText;
    std::string_view lowHint;  // the likely mistake behind a value below ("weeks typed as days?")
    std::string_view highHint;
    std::string_view source;  // where the range comes from
};

// The rows for bwt, gest, wt, ht, sex, par, the body mass index (bmi, from
// wt and ht) and the centile, in that order. Ethnic-group codes are credible
// when the population's list names them (its coefficient set); there is no
// range for them, and their flag's source is kEthnicCodeSource.
std::span<const PlausibleRange> plausibleRanges();
const PlausibleRange& plausibleRange(std::string_view field);

// The codes of the flags of a value below a row's range and above it
// ("gest_low", "gest_high"); one code for both where a value either side
// takes the same term ("sex_code").
struct FlagCodes {
    std::string_view low;
    std::string_view high;
};
FlagCodes flagCodes(const PlausibleRange& range);

inline constexpr std::string_view kEthnicCodeFlag = "eth_unknown";
inline constexpr std::string_view kEthnicCodeSource =
    "each population's own list of groups (custcent calc --help lists them); a code it does not name takes "
    "the population's term for any other group, so a code from another population's list gives a centile "
    "for a group the mother does not belong to";

// The body mass index, kg/m², of a booking weight (kg) and a height (cm).
double bodyMassIndex(double wt, double ht) noexcept;

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

// The flags of the inputs, in the order bwt, gest, wt, ht, sex, eth, par,
// then the body mass index of wt and ht (where each lies within its range).
// Values that are not finite get no flag: the rules of admission refuse them.
std::vector<Flag> inputFlags(engine::Population population, const engine::CentileInputs& inputs);
// The same, added to `flags`.
void addInputFlags(engine::Population population, const engine::CentileInputs& inputs, std::vector<Flag>& flags);

// Appends the flag of a centile below 0 or above 100 (the far tails of the
// midpoint integration), if it is one.
void addCentileFlags(double centile, std::vector<Flag>& flags);

// Whether a computed birth has any flag, its inputs' or its centile's: what
// addInputFlags and addCentileFlags would add, without the texts.
bool anyFlag(engine::Population population, const engine::CentileInputs& inputs, double centile) noexcept;

// "gest_low, eth_unknown" for summaries; "; "-joined texts for an error column.
std::string flagTexts(std::span<const Flag> flags, std::string_view separator = "; ");

// The input a flag speaks of: the one its code begins with ("gest" for
// gest_low), "wt" for the body mass index's flags (a weight in pounds or
// mistyped is what most often puts it out of line with the height), or
// nothing for the centile's own flags.
std::string_view flagField(const Flag& flag);

}  // namespace wrenfield::reading
