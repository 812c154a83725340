#include "reading/json.h"

#include <cmath>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "reading/fields.h"
#include "reading/input_text.h"

namespace wrenfield::reading {

namespace {

using Json = nlohmann::ordered_json;

// A number as JSON has it: a whole number without a fraction ("38", as a
// reader expects a count of weeks), anything else in the shortest text that
// reads back to the same double; JSON has no infinity or NaN.
Json number(double value)
{
    if (!std::isfinite(value))
        return nullptr;
    constexpr double kExactWhole = 9007199254740992.0;  // 2^53
    if (value == std::floor(value) && std::fabs(value) < kExactWhole && !(value == 0 && std::signbit(value)))
        return static_cast<std::int64_t>(value);
    return value;
}

Json inputsJson(const BirthResult& r)
{
    const engine::CoefficientSet& set = engine::coefficients(r.population);
    const engine::CentileInputs& in = r.inputs;
    const Json values[] = {number(in.bwt), number(in.gestDays), gestationText(in.gestDays),
                           number(in.wt),  number(in.ht),       number(in.sex),
                           sexText(in.sex), number(in.eth),     ethnicGroupText(set, in.eth),
                           number(in.par), parityText(in.par)};
    static_assert(std::size(values) == kInputEchoNames.size());
    Json inputs = Json::object();
    for (std::size_t i = 0; i < kInputEchoNames.size(); ++i)
        inputs[std::string(kInputEchoNames[i])] = values[i];
    return inputs;
}

Json resultDocument(const BirthResult& r)
{
    Json doc = Json::object();
    auto set = [&doc](ResultField field, Json value) { doc[std::string(fieldName(field))] = std::move(value); };
    if (!r.computed()) {
        set(ResultField::Error, r.error);
        if (!r.field.empty())
            set(ResultField::Field, r.field);
        return doc;
    }
    const engine::CentileDetail& d = r.detail;
    set(ResultField::Population, std::string(engine::coefficients(r.population).name));
    set(ResultField::Centile, number(d.centile));
    set(ResultField::Rounded, number(roundedCentile(d.centile)));
    set(ResultField::CentileText, centileText(d.centile, r.thresholds));
    set(ResultField::Band, std::string(bandCode(r.band)));
    set(ResultField::BandLabel, bandLabel(r.band, r.thresholds));
    set(ResultField::BandWords, bandWords(r.band, r.thresholds));
    set(ResultField::TermWeight, number(d.termWeight));
    set(ResultField::Weeks, number(d.weeks));
    set(ResultField::Proportion, number(d.proportion));
    set(ResultField::ExpectedWeight, number(d.expected));
    set(ResultField::Spread, number(d.spread));
    set(ResultField::Z, number(d.z));
    Json flags = Json::array();
    for (const Flag& flag : r.flags)
        flags.push_back(
            {{std::string(kFlagFieldNames[0]), std::string(flag.code)}, {std::string(kFlagFieldNames[1]), flag.text}});
    set(ResultField::Flags, std::move(flags));
    set(ResultField::Inputs, inputsJson(r));
    set(ResultField::CoefficientSetVersion, std::string(engine::kCoefficientSetVersion));
    return doc;
}

}  // namespace

std::string resultJson(const BirthResult& result)
{
    return resultDocument(result).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void appendResultJson(std::string& out, const BirthResult& result)
{
    out += resultJson(result);
}

}  // namespace wrenfield::reading
