// The plain C interface over the reading layer: the births of a call are
// admitted and read as every front end admits and reads them, many at a time
// in the batch kernel; this only copies each result into the caller's
// struct. Nothing here outlives a call, and no C++ exception crosses the
// interface.
#include "wrenfield.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/coefficient_set.h"
#include "platform/runtime_error.h"
#include "reading/admission.h"
#include "reading/births.h"
#include "reading/population_choice.h"

namespace {

using wrenfield::ErrorNumber;
using wrenfield::RuntimeError;
using wrenfield::engine::Population;

static_assert(WF_ERROR_INVALID_OPERATION == int(ErrorNumber::InvalidProcedureCall));
static_assert(WF_ERROR_OVERFLOW == int(ErrorNumber::Overflow));
static_assert(WF_ERROR_DIVISION_BY_ZERO == int(ErrorNumber::DivisionByZero));

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

using wrenfield::reading::Band;
using wrenfield::reading::BirthResult;
using wrenfield::reading::Outcome;

int bandNumber(Band band)
{
    switch (band) {
    case Band::VerySmall:
        return WF_BAND_SGA_BELOW_3;
    case Band::Small:
        return WF_BAND_SGA;
    case Band::Appropriate:
        return WF_BAND_AGA;
    case Band::Large:
        return WF_BAND_LGA;
    case Band::VeryLarge:
        return WF_BAND_LGA_ABOVE_97;
    }
    return WF_BAND_NONE;
}

// The reading's flag names and their bits.
struct FlagBit {
    std::string_view name;
    unsigned bit;
};
constexpr FlagBit kFlagBits[] = {
    {"bwt_low", WF_FLAG_BWT_LOW},
    {"bwt_high", WF_FLAG_BWT_HIGH},
    {"gest_low", WF_FLAG_GEST_LOW},
    {"gest_high", WF_FLAG_GEST_HIGH},
    {"wt_low", WF_FLAG_WT_LOW},
    {"wt_high", WF_FLAG_WT_HIGH},
    {"ht_low", WF_FLAG_HT_LOW},
    {"ht_high", WF_FLAG_HT_HIGH},
    {"sex_code", WF_FLAG_SEX_CODE},
    {"eth_unknown", WF_FLAG_ETH_UNKNOWN},
    {"par_code", WF_FLAG_PAR_CODE},
    {"par_high", WF_FLAG_PAR_HIGH},
    {"centile_below_0", WF_FLAG_CENTILE_BELOW_0},
    {"centile_above_100", WF_FLAG_CENTILE_ABOVE_100},
    {"bmi_low", WF_FLAG_BMI_LOW},
    {"bmi_high", WF_FLAG_BMI_HIGH},
};

unsigned flagBit(std::string_view name)
{
    for (const FlagBit& flag : kFlagBits)
        if (flag.name == name)
            return flag.bit;
    return WF_FLAG_OTHER;
}

// Copies `text` into a fixed field, cut short if need be (between two
// UTF-8 characters, never within one), always ended.
template <std::size_t N> void copyText(char (&field)[N], std::string_view text)
{
    std::size_t length = std::min(text.size(), N - 1);
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;  // text[length] continues a character: cut before that character
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

void fail(wf_result& result, int error, std::string_view message)
{
    result.centile = result.z = result.expected_weight = result.weeks = kNoValue;
    result.band = WF_BAND_NONE;
    result.flags = 0;
    result.error = error;
    copyText(result.message, message);
    result.flag_text[0] = '\0';
}

unsigned flagBits(const std::vector<wrenfield::reading::Flag>& flags)
{
    unsigned bits = 0;
    for (const wrenfield::reading::Flag& flag : flags)
        bits |= flagBit(flag.code);
    return bits;
}

int errorCode(const BirthResult& result)
{
    switch (result.outcome) {
    case Outcome::Computed:
        return WF_OK;
    case Outcome::Missing:
        return WF_ERROR_MISSING_INPUT;
    case Outcome::Refused:
        return WF_ERROR_INVALID_INPUT;
    case Outcome::Failed:
        return result.errorNumber ? static_cast<int>(*result.errorNumber) : WF_ERROR_INVALID_OPERATION;
    case Outcome::Flagged:
        return WF_ERROR_FLAGGED;
    }
    return WF_ERROR_INVALID_OPERATION;
}

void copyResult(const BirthResult& from, wf_result& to)
{
    if (!from.computed()) {
        fail(to, errorCode(from), from.error);
        if (from.outcome == Outcome::Flagged) {
            to.flags = flagBits(from.flags);
            copyText(to.flag_text, wrenfield::reading::flagTexts(from.flags));
        }
        return;
    }
    to.centile = from.detail.centile;
    to.z = from.detail.z;
    to.expected_weight = from.detail.expected;
    to.weeks = from.detail.weeks;
    to.band = bandNumber(from.band);
    to.error = WF_OK;
    to.message[0] = '\0';
    if (from.flags.empty()) {
        to.flags = 0;
        to.flag_text[0] = '\0';
    } else {
        to.flags = flagBits(from.flags);
        copyText(to.flag_text, wrenfield::reading::flagTexts(from.flags));
    }
}

// The options a caller's struct holds (the members its size covers), or the
// error of the first that cannot be used.
std::optional<std::string> readOptions(const wf_options* given, wrenfield::reading::ReadingOptions& options)
{
    wf_options o = WF_OPTIONS_INIT;
    if (given && given->size < sizeof given->size)
        return "wf_options.size: set it to sizeof(wf_options), as WF_OPTIONS_INIT does";
    if (given)
        std::memcpy(&o, given, std::min(sizeof o, given->size));
    const wrenfield::reading::ThresholdChoice thresholds = wrenfield::reading::thresholdsFor(o.sga, o.lga);
    if (!thresholds.thresholds)
        return thresholds.error;
    options.thresholds = *thresholds.thresholds;
    options.strict = o.strict != 0;
    options.exact = o.exact != 0;
    return std::nullopt;
}

// Births are admitted and read this many at a time: the results of a group
// are kept in the call's own room, then copied into the caller's structs.
constexpr std::size_t kGroup = 256;

std::size_t computeAll(const wf_options* given, const char* population, std::size_t count, const double* bwt,
                       const double* gestDays, const double* wt, const double* ht, const double* sex, const double* eth,
                       const double* par, wf_result* out)
{
    using namespace wrenfield::reading;
    ReadingOptions options;
    if (auto problem = readOptions(given, options)) {
        for (std::size_t i = 0; i < count; ++i)
            fail(out[i], WF_ERROR_INVALID_OPTION, *problem);
        return 0;
    }
    const PopulationReading chosen = readPopulation(population);
    if (!chosen.population) {
        for (std::size_t i = 0; i < count; ++i)
            fail(out[i], WF_ERROR_UNKNOWN_POPULATION, "population: " + chosen.error);
        return 0;
    }
    std::vector<BirthResult> results(std::min(count, kGroup));
    std::vector<PendingBirth> pending;
    pending.reserve(results.size());
    ReadingScratch scratch;
    std::size_t computed = 0;
    for (std::size_t base = 0; base < count; base += kGroup) {
        const std::size_t n = std::min(kGroup, count - base);
        pending.clear();
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = base + k;
            PendingBirth birth{{*chosen.population, {bwt[i], gestDays[i], wt[i], ht[i], sex[i], eth[i], par[i]}},
                               &options,
                               &results[k]};
            if (!valuesAdmissible(birth.record.inputs)) {
                // A NaN, an infinity or a measurement of 0 or below: the rules say which and why.
                BirthReading read;
                read.population = birth.record.population;
                const double values[] = {bwt[i], gestDays[i], wt[i], ht[i], sex[i], eth[i], par[i]};
                for (std::size_t c = 0; c < kInputFieldCount; ++c)
                    read.fields[c] = numberField(values[c]);
                if (!admitBirth(read, birth.record, results[k]))
                    continue;
            }
            pending.push_back(birth);
        }
        readPending(pending, scratch);
        for (std::size_t k = 0; k < n; ++k) {
            copyResult(results[k], out[base + k]);
            computed += results[k].computed();
        }
    }
    return computed;
}

// Runs `call`; anything but run-time errors (memory exhausted) must still not
// cross into C: every result then says so.
template <typename Call> std::size_t guarded(std::size_t count, wf_result* out, Call call)
{
    try {
        return call();
    } catch (const std::exception& error) {
        for (std::size_t i = 0; i < count; ++i)
            fail(out[i], WF_ERROR_INVALID_OPERATION, error.what());
        return 0;
    }
}

const wrenfield::engine::CoefficientSet* populationAt(std::size_t index)
{
    const auto sets = wrenfield::engine::allCoefficientSets();
    return index < sets.size() ? &sets[index] : nullptr;
}

}  // namespace

extern "C" {

const char* wf_version(void)
{
    return WRENFIELD_VERSION_TEXT;
}

int wf_centile(const char* population, double bwt, double gestDays, double wt, double ht, double sex, double eth,
               double par, wf_result* result)
{
    return wf_centile_with(nullptr, population, bwt, gestDays, wt, ht, sex, eth, par, result);
}

int wf_centile_with(const wf_options* options, const char* population, double bwt, double gestDays, double wt,
                    double ht, double sex, double eth, double par, wf_result* result)
{
    if (!result)
        return WF_ERROR_NULL_POINTER;
    if (!population) {
        fail(*result, WF_ERROR_NULL_POINTER, "no population given");
        return result->error;
    }
    guarded(1, result,
            [&] { return computeAll(options, population, 1, &bwt, &gestDays, &wt, &ht, &sex, &eth, &par, result); });
    return result->error;
}

size_t wf_centiles(const char* population, size_t count, const double* bwt, const double* gestDays, const double* wt,
                   const double* ht, const double* sex, const double* eth, const double* par, wf_result* results)
{
    return wf_centiles_with(nullptr, population, count, bwt, gestDays, wt, ht, sex, eth, par, results);
}

size_t wf_centiles_with(const wf_options* options, const char* population, size_t count, const double* bwt,
                        const double* gestDays, const double* wt, const double* ht, const double* sex,
                        const double* eth, const double* par, wf_result* results)
{
    if (count == 0)
        return 0;
    if (!population || !bwt || !gestDays || !wt || !ht || !sex || !eth || !par || !results)
        return 0;
    return guarded(count, results, [&] {
        return computeAll(options, population, count, bwt, gestDays, wt, ht, sex, eth, par, results);
    });
}

const char* wf_population_name(size_t index)
{
    // The coefficient sets' names are literals, so their views end in a NUL.
    const wrenfield::engine::CoefficientSet* set = populationAt(index);
    return set ? set->name.data() : nullptr;
}

const char* wf_population_alias(size_t index)
{
    const wrenfield::engine::CoefficientSet* set = populationAt(index);
    return set ? wrenfield::reading::populationAlias(set->population).data() : nullptr;
}

const char* wf_ethnic_group(const char* population, size_t index, int* code)
{
    if (!population)
        return nullptr;
    const auto chosen = wrenfield::reading::populationFromText(population);
    if (!chosen)
        return nullptr;
    const auto groups = wrenfield::engine::coefficients(*chosen).ethnicGroups;
    if (index >= groups.size())
        return nullptr;
    if (code)
        *code = groups[index].code;
    return groups[index].name.data();
}

int wf_centile_text(const wf_options* options, const wf_result* result, char* text, size_t size)
{
    if (!text || size == 0)
        return WF_ERROR_NULL_POINTER;
    text[0] = '\0';
    if (!result)
        return WF_ERROR_NULL_POINTER;
    if (result->error != WF_OK)
        return result->error;
    try {
        wrenfield::reading::ReadingOptions reading;
        if (readOptions(options, reading))
            return WF_ERROR_INVALID_OPTION;
        const std::string shown = wrenfield::reading::centileText(result->centile, reading.thresholds);
        if (shown.size() >= size)
            return WF_ERROR_INVALID_OPTION;
        std::memcpy(text, shown.c_str(), shown.size() + 1);
        return WF_OK;
    } catch (const std::exception&) {
        return WF_ERROR_INVALID_OPERATION;
    }
}

const char* wf_band_name(int band)
{
    // The band codes are literals, so their views end in a NUL.
    switch (band) {
    case WF_BAND_SGA_BELOW_3:
        return wrenfield::reading::bandCode(Band::VerySmall).data();
    case WF_BAND_SGA:
        return wrenfield::reading::bandCode(Band::Small).data();
    case WF_BAND_AGA:
        return wrenfield::reading::bandCode(Band::Appropriate).data();
    case WF_BAND_LGA:
        return wrenfield::reading::bandCode(Band::Large).data();
    case WF_BAND_LGA_ABOVE_97:
        return wrenfield::reading::bandCode(Band::VeryLarge).data();
    default:
        return "";
    }
}

const char* wf_flag_name(unsigned flag)
{
    for (const FlagBit& known : kFlagBits)
        if (known.bit == flag)
            return known.name.data();
    return "";
}

}  // extern "C"
