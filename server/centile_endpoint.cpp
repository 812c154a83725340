#include "server/centile_endpoint.h"

#include <array>
#include <optional>
#include <variant>

#include <nlohmann/json.hpp>

#include "engine/centile_model.h"
#include "form/calc.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "server/limits.h"
#include "tabular/calc_inputs.h"

namespace wrenfield::server {

namespace {

using nlohmann::json;
using tabular::CalcInputs;

// A field that could not be used: which one, and why.
struct FieldError {
    std::string field;
    std::string detail;
};

// The options a birth may set for itself or take from the query.
constexpr std::array<std::string_view, 1> kOptionNames = {"population"};
// The readings, in the order the methods take them.
constexpr std::array<std::string_view, 7> kInputNames = {"bwt", "gest", "wt", "ht", "sex", "eth", "par"};

bool isKnownName(std::string_view name)
{
    for (std::string_view known : kOptionNames)
        if (name == known)
            return true;
    for (std::string_view known : kInputNames)
        if (name == known)
            return true;
    return false;
}

// A JSON value as the text a user would have typed: numbers in their shortest
// exact form, so 3400 and "3400" are read alike.
std::optional<std::string> valueText(const json& value)
{
    switch (value.type()) {
    case json::value_t::string:
        return value.get<std::string>();
    case json::value_t::number_unsigned:
        return std::to_string(value.get<std::uint64_t>());
    case json::value_t::number_integer:
        return std::to_string(value.get<std::int64_t>());
    case json::value_t::number_float:
        return shortestText(value.get<double>());
    default:
        return std::nullopt;
    }
}

// The value of a birth's field, or of the query's option of that name.
struct BirthFields {
    const json& birth;
    const std::vector<std::pair<std::string, std::string>>& parameters;

    std::optional<std::string> text(std::string_view name) const
    {
        auto it = birth.find(name);
        if (it != birth.end()) {
            auto t = valueText(*it);
            if (!t)
                throw FieldError{std::string(name), "must be a number or a text, not " + std::string(it->type_name())};
            return t;
        }
        for (const auto& [key, value] : parameters)
            if (key == name)
                return value;
        return std::nullopt;
    }

    std::string required(std::string_view name) const
    {
        auto t = text(name);
        if (!t)
            throw FieldError{std::string(name), "missing"};
        return *t;
    }
};

template <typename Parse>
auto parseField(std::string_view name, const std::string& text, Parse parse)
{
    try {
        return parse(text);
    } catch (const tabular::ValueError& error) {
        throw FieldError{std::string(name), error.what()};
    }
}

CalcInputs readBirth(const json& birth, const std::vector<std::pair<std::string, std::string>>& parameters)
{
    if (!birth.is_object())
        throw FieldError{"", "a birth must be a JSON object, not " + std::string(birth.type_name())};
    for (const auto& item : birth.items())
        if (!isKnownName(item.key()))
            throw FieldError{item.key(), "unknown field"};
    BirthFields fields{birth, parameters};
    CalcInputs inputs;
    if (auto population = fields.text("population"))
        inputs.population = parseField("population", *population, tabular::parsePopulation);
    inputs.bwt = parseField("bwt", fields.required("bwt"), tabular::parseMeasurement);
    inputs.gestDays = parseField("gest", fields.required("gest"), tabular::parseGestationDays);
    inputs.wt = parseField("wt", fields.required("wt"), tabular::parseMeasurement);
    inputs.ht = parseField("ht", fields.required("ht"), tabular::parseMeasurement);
    inputs.sex = parseField("sex", fields.required("sex"), tabular::parseSex);
    const engine::CoefficientSet& set = engine::coefficients(inputs.population);
    inputs.eth = parseField("eth", fields.required("eth"),
                            [&set](std::string_view text) { return tabular::parseEthnicGroup(set, text); });
    inputs.par = parseField("par", fields.required("par"), tabular::parseParity);
    return inputs;
}

using Outcome = std::variant<engine::CentileDetail, FieldError>;

Outcome compute(const CalcInputs& in)
{
    try {
        return engine::computeCentile(in.population, {in.bwt, in.gestDays, in.wt, in.ht, static_cast<double>(in.sex),
                                                      static_cast<double>(in.eth), static_cast<double>(in.par)});
    } catch (const RuntimeError& error) {
        return FieldError{"", std::string("the centile cannot be computed: ") + error.what()};
    }
}

json resultJson(const CalcInputs& in, const engine::CentileDetail& d)
{
    return {
        {"population", engine::coefficients(in.population).name},
        {"centile", d.centile},
        {"rounded", json::parse(tabular::roundedCentileText(d.centile))},
        {"z", d.z},
        {"expectedWeight", d.expected},
        {"weeks", d.weeks},
        {"coefficientSetVersion", form::kVersionText},
    };
}

json errorJson(const FieldError& error)
{
    json out = {{"error", error.detail}};
    if (!error.field.empty())
        out["field"] = error.field;
    return out;
}

Outcome answer(const json& birth, const std::vector<std::pair<std::string, std::string>>& parameters,
               CalcInputs& inputs)
{
    try {
        inputs = readBirth(birth, parameters);
    } catch (const FieldError& error) {
        return error;
    }
    return compute(inputs);
}

std::string dump(const json& doc)
{
    return doc.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

Response centileResponse(std::string_view body, const std::vector<std::pair<std::string, std::string>>& parameters)
{
    for (const auto& [name, value] : parameters)
        if (std::find(kOptionNames.begin(), kOptionNames.end(), name) == kOptionNames.end())
            return problem(422, "unknown option", name);

    json doc = json::parse(body, nullptr, false);
    if (doc.is_discarded()) {
        try {
            json unused = json::parse(body);
            (void)unused;
        } catch (const json::parse_error& error) {
            std::string what = error.what();
            // "[json.exception.parse_error.101] parse error at line 1, column 3: ..."
            std::size_t bracket = what.find("] ");
            return problem(400, "malformed JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2)));
        }
        return problem(400, "malformed JSON");
    }

    if (doc.is_object()) {
        CalcInputs inputs;
        Outcome outcome = answer(doc, parameters, inputs);
        if (auto* error = std::get_if<FieldError>(&outcome)) {
            if (error->field.empty())
                return problem(422, error->detail);
            return problem(422, error->field + ": " + error->detail, error->field);
        }
        return {200, std::string(kJson), dump(resultJson(inputs, std::get<engine::CentileDetail>(outcome))), {}};
    }
    if (!doc.is_array())
        return problem(422, "expected one birth (a JSON object) or an array of births");
    if (doc.size() > kMaxBirths)
        return problem(413, "at most " + std::to_string(kMaxBirths) + " births in one request, not " +
                                std::to_string(doc.size()));

    json results = json::array();
    for (const json& birth : doc) {
        CalcInputs inputs;
        Outcome outcome = answer(birth, parameters, inputs);
        if (auto* error = std::get_if<FieldError>(&outcome))
            results.push_back(errorJson(*error));
        else
            results.push_back(resultJson(inputs, std::get<engine::CentileDetail>(outcome)));
    }
    return {200, std::string(kJson), dump(results), {}};
}

}  // namespace wrenfield::server
