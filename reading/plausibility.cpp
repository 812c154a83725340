#include "reading/plausibility.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <iterator>
#include <stdexcept>

#include "platform/numeric_text.h"
#include "reading/plain_rules.h"

namespace wrenfield::reading {

using engine::CentileInputs;
using engine::CoefficientSet;
using engine::EthnicGroup;
using engine::Population;

namespace {

// The table. `custcent ranges` prints it, and docs/cli.md shows that output
// (its examples are run and compared by a test).
constexpr PlausibleRange kRanges[] = {
    {"bwt", "g", 200, 7000, false, "200 g", "7000 g", "kilograms or pounds?", "typing mistake?",
     "the calculator's own list runs from 400 g to \"Over 5000\"; the range is wider on both sides (the "
     "lightest babies born alive weigh about 250 g, and 7 kg is beyond recorded births), so what falls outside "
     "is a unit or typing mistake: 3.4 is kilograms, 7.5 pounds"},
    {"gest", "days", 154, 315, false, "22 weeks", "45 weeks", "weeks typed as days?", "typing mistake?",
     "22 completed weeks (154 days), where perinatal statistics begin, to 45 weeks (315 days); the calculator's "
     "own lists run from 20 to 44 weeks 6 days; 40 is a gestation in weeks, not days, and beyond 45 weeks the "
     "gestation proportion peaks near 50 weeks and turns negative at about 63 weeks"},
    {"wt", "kg", 30, 250, false, "30 kg", "250 kg", "stones or a typing mistake?", "pounds?",
     "the calculator's own list runs from 30 to 150 kg; the range allows for heavier mothers; below 30 kg is no "
     "adult's weight (10 is stones), above 250 kg a weight in pounds"},
    {"ht", "cm", 100, 220, false, "100 cm", "220 cm", "metres?", "millimetres?",
     "the calculator's own list runs from 140 to 200 cm; the range allows for very short and very tall "
     "mothers; 1.63 is metres, 64 inches, 1630 millimetres"},
    {"sex", "code", 0, 2, true, "0", "2", "female term used", "female term used",
     "the codes the calculator takes: 1 male, 0 or 2 female; any other value gets the female term"},
    {"par", "births", 0, 20, true, "0", "20", "\"4 or more\" term used", "typing mistake?",
     "a count of previous births: 0, 1, 2, 3, and 4 or more share one term; more than 20 is not credible"},
    {"bmi", "kg/m², booking weight / height²", 12, 50, false, "12", "50", "typing mistake?", "pounds?",
     "a weight and a height each within its own range can still be a mistake together: a weight in pounds read "
     "as kilograms passes 30 to 250 kg but multiplies the body mass index by 2.2 (140 lb at 163 cm reads as "
     "52.7); nearly every mother's index at booking lies between 12 (starvation) and 50 (the rarest, most "
     "severe obesity, which the flag asks to confirm). Checked "
     "only where the weight and the height lie within their own ranges: a weight in stones or a height in "
     "metres or millimetres gets their own flags (stones?, metres?, millimetres?)"},
    {"centile", "percent", 0, 100, false, "0", "100", "far below the expected weight: check the inputs",
     "far above the expected weight: check the inputs",
     "the 1001-slice sum of the normal density gives a few millionths below 0 or above 100 for a baby far in a "
     "tail; the calculator shows 0 or 100, the flag says the inputs deserve a second look"},
};

static_assert(kRanges[0].field == "bwt" && kRanges[1].field == "gest" && kRanges[2].field == "wt" &&
              kRanges[3].field == "ht" && kRanges[4].field == "sex" && kRanges[5].field == "par" &&
              kRanges[6].field == "bmi" && kRanges[7].field == "centile");

// Every flag's code, written once, in the order flags are given: the
// measurements' first, low then high, in the order of kRanges.
constexpr std::string_view kFlagCodes[] = {
    "bwt_low",  "bwt_high",    "gest_low", "gest_high", "wt_low",  "wt_high",  "ht_low",          "ht_high",
    "sex_code", "eth_unknown", "par_code", "par_high",  "bmi_low", "bmi_high", "centile_below_0", "centile_above_100",
};
enum FlagCode : std::size_t {
    kSexCode = 8,
    kEthUnknown,
    kParCode,
    kParHigh,
    kBmiLow,
    kBmiHigh,
    kCentileBelow0,
    kCentileAbove100
};
static_assert(kFlagCodes[6] == "ht_low" && kFlagCodes[kSexCode] == "sex_code" &&
              kFlagCodes[kEthUnknown] == kEthnicCodeFlag && kFlagCodes[kBmiLow] == "bmi_low" &&
              kFlagCodes[kCentileAbove100] == "centile_above_100" && std::size(kFlagCodes) == kCentileAbove100 + 1);

// The codes of the flags of each row of kRanges, below and above, as
// places in kFlagCodes.
constexpr std::size_t kRowCodes[][2] = {{0, 1},
                                        {2, 3},
                                        {4, 5},
                                        {6, 7},
                                        {kSexCode, kSexCode},
                                        {kParCode, kParHigh},
                                        {kBmiLow, kBmiHigh},
                                        {kCentileBelow0, kCentileAbove100}};
static_assert(std::size(kRowCodes) == std::size(kRanges));

constexpr const PlausibleRange& kWeight = kRanges[2];
constexpr const PlausibleRange& kHeight = kRanges[3];
constexpr const PlausibleRange& kParity = kRanges[5];
constexpr const PlausibleRange& kBodyMassIndex = kRanges[6];
constexpr const PlausibleRange& kCentile = kRanges[7];

std::string numberText(double value)
{
    return shortestText(value);
}

// "52.7": one decimal, whatever the locale.
std::string oneDecimal(double value)
{
    char text[64];
    const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1).ptr;
    return std::string(text, static_cast<std::size_t>(end - text));
}

// The term an ethnic code of no group gets, in the population's own words.
std::string otherTermName(const CoefficientSet& set)
{
    for (const EthnicGroup& group : set.ethnicGroups)
        if (!group.term)
            return "\"other\"";
    for (const EthnicGroup& group : set.ethnicGroups)
        if (group.term && *group.term == set.ethnicOther)
            return "\"" + std::string(group.name) + "\"";
    return "\"any other\"";
}

std::string_view article(std::string_view name)
{
    // "a United Kingdom group", "an Australia group".
    return !name.empty() && std::string_view("AEIO").find(name.front()) != std::string_view::npos ? "an" : "a";
}

}  // namespace

std::span<const std::string_view> flagCodes()
{
    return kFlagCodes;
}

std::span<const PlausibleRange> plausibleRanges()
{
    return kRanges;
}

const PlausibleRange& plausibleRange(std::string_view field)
{
    for (const PlausibleRange& range : kRanges)
        if (range.field == field)
            return range;
    throw std::invalid_argument("no plausible range for " + std::string(field));
}

FlagCodes flagCodes(const PlausibleRange& range)
{
    // By the row's field, so that a copy of a row finds its codes too.
    for (std::size_t row = 0; row < std::size(kRanges); ++row)
        if (kRanges[row].field == range.field)
            return {kFlagCodes[kRowCodes[row][0]], kFlagCodes[kRowCodes[row][1]]};
    return {};
}

double bodyMassIndex(double wt, double ht) noexcept
{
    const double metres = ht / 100;
    return wt / (metres * metres);
}

std::vector<Flag> inputFlags(Population population, const CentileInputs& inputs)
{
    std::vector<Flag> flags;
    addInputFlags(population, inputs, flags);
    return flags;
}

namespace {

// The bit of a flag in a mask of flags: its place in kFlagCodes.
constexpr std::uint32_t bit(std::size_t code)
{
    return std::uint32_t{1} << code;
}

// Whether an ethnic code is one the population's list names. Codes run from
// 1 without gaps in every population's list: code k is the k-th group
// (checked, not assumed).
bool namedEthnicCode(const CoefficientSet& set, double eth) noexcept
{
    const double lastCode = set.ethnicGroups.empty() ? 0 : set.ethnicGroups.back().code;
    const bool inRange = eth >= 1 && eth <= lastCode;
    const auto code = inRange ? static_cast<std::int16_t>(eth) : std::int16_t{0};
    return inRange && code == eth && static_cast<std::size_t>(code) <= set.ethnicGroups.size() &&
        set.ethnicGroups[static_cast<std::size_t>(code - 1)].code == code;
}

// The body mass index is checked only for a weight and a height that each
// lie within their own ranges: outside them, their own flags already name
// the likely mistake (stones, metres, millimetres), and an index from a
// height in metres says nothing more.
bool bodyMassIndexChecked(double wt, double ht) noexcept
{
    return wt >= kWeight.low && wt <= kWeight.high && ht >= kHeight.low && ht <= kHeight.high;
}

// Whether the body mass index of wt and ht lies well inside its range, known
// without its two divisions: the products below are within a few parts in
// 10^16 of the exact ones, so a margin of one part in a thousand leaves no
// doubt. Near an end the index itself decides.
constexpr double kIndexHighFactor = kBodyMassIndex.high * 0.999;
constexpr double kIndexLowFactor = kBodyMassIndex.low * 1.001;

bool clearlyWithinIndexRange(double wt, double ht) noexcept
{
    const double scaledWeight = wt * 10000;  // kg × (cm per m)²
    const double heightSquared = ht * ht;
    return scaledWeight < kIndexHighFactor * heightSquared && scaledWeight > kIndexLowFactor * heightSquared;
}

// The rules of the input flags, once: bit k set for the flag kFlagCodes[k].
std::uint32_t inputFlagMask(Population population, const CentileInputs& inputs) noexcept
{
    std::uint32_t mask = 0;
    // The first four rows of kRanges, in order: bwt, gest, wt, ht.
    const double measurements[4] = {inputs.bwt, inputs.gestDays, inputs.wt, inputs.ht};
    for (std::size_t row = 0; row < 4; ++row) {
        const PlausibleRange& range = kRanges[row];
        if (measurements[row] < range.low)
            mask |= bit(kRowCodes[row][0]);
        else if (measurements[row] > range.high)
            mask |= bit(kRowCodes[row][1]);
    }
    if (std::isfinite(inputs.sex) && inputs.sex != 0 && inputs.sex != 1 && inputs.sex != 2)
        mask |= bit(kSexCode);
    if (std::isfinite(inputs.eth) && !namedEthnicCode(engine::coefficients(population), inputs.eth))
        mask |= bit(kEthUnknown);
    if (std::isfinite(inputs.par)) {
        if (inputs.par < kParity.low || inputs.par != std::floor(inputs.par))
            mask |= bit(kParCode);
        else if (inputs.par > kParity.high)
            mask |= bit(kParHigh);
    }
    if (bodyMassIndexChecked(inputs.wt, inputs.ht) && !clearlyWithinIndexRange(inputs.wt, inputs.ht)) {
        const double bmi = bodyMassIndex(inputs.wt, inputs.ht);
        if (bmi > kBodyMassIndex.high)
            mask |= bit(kBmiHigh);
        else if (bmi < kBodyMassIndex.low)
            mask |= bit(kBmiLow);
    }
    return mask;
}

std::uint32_t centileFlagMask(double centile) noexcept
{
    return centile < kCentile.low ? bit(kCentileBelow0) : centile > kCentile.high ? bit(kCentileAbove100) : 0;
}

// The text of one flag of an input or of the body mass index.
std::string inputFlagText(std::size_t code, Population population, const CentileInputs& inputs)
{
    switch (code) {
    case kSexCode:
        return "sex " + numberText(inputs.sex) + ": female term used";
    case kEthUnknown: {
        const CoefficientSet& set = engine::coefficients(population);
        return "eth " + numberText(inputs.eth) + " not " + std::string(article(set.name)) + " " +
            std::string(set.name) + " group: " + otherTermName(set) + " term used";
    }
    case kParCode:
        return "par " + numberText(inputs.par) + ": " + std::string(kParity.lowHint);
    case kParHigh:
        return "par above " + std::string(kParity.highText) + " — " + std::string(kParity.highHint);
    case kBmiLow:
        return "BMI " + oneDecimal(bodyMassIndex(inputs.wt, inputs.ht)) + " from wt and ht, below " +
            std::string(kBodyMassIndex.lowText) + " — " + std::string(kBodyMassIndex.lowHint);
    case kBmiHigh:
        return "BMI " + oneDecimal(bodyMassIndex(inputs.wt, inputs.ht)) + " from wt and ht, above " +
            std::string(kBodyMassIndex.highText) + " — " + std::string(kBodyMassIndex.highHint);
    default: {
        // A measurement's: low codes are even, high ones odd.
        const PlausibleRange& range = kRanges[code / 2];
        return code % 2 == 0
            ? std::string(range.field) + " below " + std::string(range.lowText) + " — " + std::string(range.lowHint)
            : std::string(range.field) + " above " + std::string(range.highText) + " — " + std::string(range.highHint);
    }
    }
}

}  // namespace

namespace {

// For each population, the last ethnic code up to which its list's codes run
// 1, 2, 3... without a gap: a whole code from 1 to it is a group the list
// names (namedEthnicCode).
struct NamedCodeRuns {
    double last[engine::kPopulationCount] = {};
};

const NamedCodeRuns& namedCodeRuns()
{
    static const NamedCodeRuns runs = [] {
        NamedCodeRuns made;
        for (std::size_t p = 0; p < engine::kPopulationCount; ++p) {
            const CoefficientSet& set = engine::coefficients(static_cast<Population>(p));
            std::size_t count = 0;
            while (count < set.ethnicGroups.size() && set.ethnicGroups[count].code == static_cast<int>(count + 1))
                ++count;
            made.last[p] = static_cast<double>(count);
        }
        return made;
    }();
    return runs;
}

bool within(double value, const PlausibleRange& range) noexcept
{
    return (value >= range.low) & (value <= range.high);
}

// Whether `value` lies from `low` to `high` and is a whole number: the
// conversion is made only of a value in range (any other is replaced by low).
bool wholeWithin(double value, double low, double high) noexcept
{
    const bool within = (value >= low) & (value <= high);
    const double held = within ? value : low;
    return within & (static_cast<double>(static_cast<std::int32_t>(held)) == held);
}

}  // namespace

namespace {

// The sure test one birth after another.
void markSurelyUnflaggedPortable(std::span<const engine::BatchRecord> records, std::span<const double> centiles,
                                 std::span<std::uint8_t> quiet) noexcept
{
    const NamedCodeRuns& runs = namedCodeRuns();
    for (std::size_t k = 0; k < records.size(); ++k) {
        const CentileInputs& inputs = records[k].inputs;
        const auto population = static_cast<std::size_t>(records[k].population);
        // The rules of inputFlagMask, each one's quiet side, joined with &.
        const double centile = centiles[k];
        bool sure = within(inputs.bwt, kRanges[0]);
        sure &= within(inputs.gestDays, kRanges[1]);
        sure &= within(inputs.wt, kWeight);
        sure &= within(inputs.ht, kHeight);
        sure &= (inputs.sex == 0) | (inputs.sex == 1) | (inputs.sex == 2);
        const double lastCode = population < engine::kPopulationCount ? runs.last[population] : 0;
        sure &= wholeWithin(inputs.eth, 1, lastCode);
        sure &= wholeWithin(inputs.par, kParity.low, kParity.high);
        // The weight and height are within their ranges: the index is checked.
        sure &= clearlyWithinIndexRange(inputs.wt, inputs.ht);
        sure &= (centile >= kCentile.low) & (centile <= kCentile.high);
        quiet[k] = sure;
    }
}

#if defined(WRENFIELD_X86_64_LANES)
// The same rules as bounds of a record's lanes.
const SureTestBounds& sureTestBounds()
{
    static const SureTestBounds bounds = [] {
        SureTestBounds made;
        const NamedCodeRuns& runs = namedCodeRuns();
        for (std::size_t p = 0; p < engine::kPopulationCount; ++p) {
            const double low[8] = {0, kRanges[0].low, kRanges[1].low, kWeight.low, kHeight.low, 0, 1, kParity.low};
            const double high[8] = {0, kRanges[0].high, kRanges[1].high, kWeight.high, kHeight.high,
                                    2, runs.last[p],    kParity.high};
            std::copy(std::begin(low), std::end(low), made.low[p]);
            std::copy(std::begin(high), std::end(high), made.high[p]);
        }
        made.wholeLanes = (1 << 5) | (1 << 6) | (1 << 7);  // sex, eth, par
        made.indexLowFactor = kIndexLowFactor;
        made.indexHighFactor = kIndexHighFactor;
        made.centileLow = kCentile.low;
        made.centileHigh = kCentile.high;
        return made;
    }();
    return bounds;
}
#endif

}  // namespace

void markSurelyUnflagged(std::span<const engine::BatchRecord> records, std::span<const double> centiles,
                         std::span<std::uint8_t> quiet, engine::SimdLevel level) noexcept
{
#if defined(WRENFIELD_X86_64_LANES)
    if (avx512::runs(level)) {
        avx512::markSurelyUnflagged(sureTestBounds(), records, centiles, quiet);
        return;
    }
    if (avx2::runs(level)) {
        avx2::markSurelyUnflagged(sureTestBounds(), records, centiles, quiet);
        return;
    }
#endif
    (void)level;
    markSurelyUnflaggedPortable(records, centiles, quiet);
}

void markSurelyUnflagged(std::span<const engine::BatchRecord> records, std::span<const double> centiles,
                         std::span<std::uint8_t> quiet) noexcept
{
    markSurelyUnflagged(records, centiles, quiet, engine::bestSimdLevel());
}

bool anyFlag(Population population, const CentileInputs& inputs, double centile) noexcept
{
    return (inputFlagMask(population, inputs) | centileFlagMask(centile)) != 0;
}

void addInputFlags(Population population, const CentileInputs& inputs, std::vector<Flag>& flags)
{
    // In the order of kFlagCodes: the order flags are given.
    for (std::uint32_t mask = inputFlagMask(population, inputs); mask != 0; mask &= mask - 1) {
        const auto code = static_cast<std::size_t>(std::countr_zero(mask));
        flags.push_back({kFlagCodes[code], inputFlagText(code, population, inputs)});
    }
}

void addCentileFlags(double centile, std::vector<Flag>& flags)
{
    const PlausibleRange& range = kCentile;
    const std::uint32_t mask = centileFlagMask(centile);
    if (mask & bit(kCentileBelow0))
        flags.push_back(
            {flagCodes(range).low, "centile below " + std::string(range.lowText) + " — " + std::string(range.lowHint)});
    else if (mask & bit(kCentileAbove100))
        flags.push_back({flagCodes(range).high,
                         "centile above " + std::string(range.highText) + " — " + std::string(range.highHint)});
}

std::string_view flagField(const Flag& flag)
{
    if (flag.code.starts_with("bmi_"))
        return "wt";
    const std::string_view field = flag.code.substr(0, flag.code.find('_'));
    for (std::string_view input : {"bwt", "gest", "wt", "ht", "sex", "eth", "par"})
        if (field == input)
            return input;
    return {};
}

std::string flagTexts(std::span<const Flag> flags, std::string_view separator)
{
    std::string text;
    for (const Flag& flag : flags) {
        if (!text.empty())
            text += separator;
        text += flag.text;
    }
    return text;
}

}  // namespace wrenfield::reading
