// The plain C interface over the engine: each birth through the exact
// one-record computation and the engine's reading of its result (band with
// the usual thresholds, plausibility flags).
// Nothing here outlives a call, and no C++ exception crosses the interface.
#include "wrenfield.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string_view>

#include "engine/band.h"
#include "engine/reading.h"
#include "platform/runtime_error.h"
#include "tabular/population_choice.h"

namespace {

using wrenfield::ErrorNumber;
using wrenfield::RuntimeError;
using wrenfield::engine::Population;

static_assert(WF_ERROR_INVALID_OPERATION == int(ErrorNumber::InvalidProcedureCall));
static_assert(WF_ERROR_OVERFLOW == int(ErrorNumber::Overflow));
static_assert(WF_ERROR_DIVISION_BY_ZERO == int(ErrorNumber::DivisionByZero));

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

using wrenfield::engine::Band;

int bandNumber(Band band)
{
    switch (band) {
    case Band::VerySmall: return WF_BAND_SGA_BELOW_3;
    case Band::Small: return WF_BAND_SGA;
    case Band::Appropriate: return WF_BAND_AGA;
    case Band::Large: return WF_BAND_LGA;
    case Band::VeryLarge: return WF_BAND_LGA_ABOVE_97;
    }
    return WF_BAND_NONE;
}

// The engine's flag names and their bits.
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
template <std::size_t N>
void copyText(char (&field)[N], std::string_view text)
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

void failUnknownPopulation(wf_result& result, const char* population)
{
    fail(result, WF_ERROR_UNKNOWN_POPULATION,
         "unknown population \"" + std::string(population) + "\": one of " + wrenfield::tabular::populationChoices());
}

void compute(Population population, double bwt, double gestDays, double wt, double ht, double sex, double eth,
             double par, wf_result& result)
{
    static constexpr const char* kNames[] = {"bwt", "gest_days", "wt", "ht", "sex", "eth", "par"};
    const double inputs[] = {bwt, gestDays, wt, ht, sex, eth, par};
    for (std::size_t i = 0; i < std::size(inputs); ++i) {
        if (std::isnan(inputs[i])) {
            char text[64];
            std::snprintf(text, sizeof text, "missing input: %s", kNames[i]);
            fail(result, WF_ERROR_MISSING_INPUT, text);
            return;
        }
    }
    try {
        const wrenfield::engine::Reading reading =
            wrenfield::engine::readBirth(population, {bwt, gestDays, wt, ht, sex, eth, par});
        result.centile = reading.detail.centile;
        result.z = reading.detail.z;
        result.expected_weight = reading.detail.expected;
        result.weeks = reading.detail.weeks;
        result.band = bandNumber(reading.band);
        result.flags = 0;
        for (const wrenfield::engine::Flag& flag : reading.flags)
            result.flags |= flagBit(flag.code);
        result.error = WF_OK;
        result.message[0] = '\0';
        copyText(result.flag_text, wrenfield::engine::flagTexts(reading.flags));
    } catch (const RuntimeError& error) {
        fail(result, error.code(), error.what());
    } catch (const std::exception& error) {
        // Nothing but run-time errors is expected from the model; anything
        // else (memory exhausted) still must not cross into C.
        fail(result, WF_ERROR_INVALID_OPERATION, error.what());
    }
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
    if (!result)
        return WF_ERROR_NULL_POINTER;
    if (!population) {
        fail(*result, WF_ERROR_NULL_POINTER, "no population given");
        return result->error;
    }
    const std::optional<Population> chosen = wrenfield::tabular::populationFromText(population);
    if (!chosen)
        failUnknownPopulation(*result, population);
    else
        compute(*chosen, bwt, gestDays, wt, ht, sex, eth, par, *result);
    return result->error;
}

size_t wf_centiles(const char* population, size_t count, const double* bwt, const double* gestDays, const double* wt,
                   const double* ht, const double* sex, const double* eth, const double* par, wf_result* results)
{
    if (count == 0)
        return 0;
    if (!population || !bwt || !gestDays || !wt || !ht || !sex || !eth || !par || !results)
        return 0;
    const std::optional<Population> chosen = wrenfield::tabular::populationFromText(population);
    std::size_t computed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!chosen) {
            failUnknownPopulation(results[i], population);
            continue;
        }
        compute(*chosen, bwt[i], gestDays[i], wt[i], ht[i], sex[i], eth[i], par[i], results[i]);
        computed += results[i].error == WF_OK;
    }
    return computed;
}

const char* wf_band_name(int band)
{
    // The engine's band codes are literals, so their views end in a NUL.
    switch (band) {
    case WF_BAND_SGA_BELOW_3: return wrenfield::engine::bandCode(Band::VerySmall).data();
    case WF_BAND_SGA: return wrenfield::engine::bandCode(Band::Small).data();
    case WF_BAND_AGA: return wrenfield::engine::bandCode(Band::Appropriate).data();
    case WF_BAND_LGA: return wrenfield::engine::bandCode(Band::Large).data();
    case WF_BAND_LGA_ABOVE_97: return wrenfield::engine::bandCode(Band::VeryLarge).data();
    default: return "";
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
