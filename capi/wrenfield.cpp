// The plain C interface over the engine: one birth through the exact
// one-record computation, with the reading of its result (band, flags).
// Nothing here outlives a call, and no C++ exception crosses the interface.
#include "wrenfield.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string_view>

#include "engine/centile_model.h"
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

void setMessage(wf_result& result, std::string_view text)
{
    const std::size_t length = std::min(text.size(), sizeof result.message - 1);
    std::memcpy(result.message, text.data(), length);
    result.message[length] = '\0';
}

void fail(wf_result& result, int error, std::string_view message)
{
    result.centile = result.z = result.expected_weight = result.weeks = kNoValue;
    result.band = WF_BAND_NONE;
    result.flags = 0;
    result.error = error;
    setMessage(result, message);
}

void failUnknownPopulation(wf_result& result, const char* population)
{
    char text[sizeof result.message];
    std::snprintf(text, sizeof text, "unknown population \"%s\": one of %s", population,
                  wrenfield::tabular::populationChoices().c_str());
    fail(result, WF_ERROR_UNKNOWN_POPULATION, text);
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
        const wrenfield::engine::CentileDetail detail =
            wrenfield::engine::computeCentile(population, {bwt, gestDays, wt, ht, sex, eth, par});
        result.centile = detail.centile;
        result.z = detail.z;
        result.expected_weight = detail.expected;
        result.weeks = detail.weeks;
        result.band = WF_BAND_NONE;
        result.flags = 0;
        result.error = WF_OK;
        result.message[0] = '\0';
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

}  // extern "C"
