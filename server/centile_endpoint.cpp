#include "server/centile_endpoint.h"

#include <algorithm>
#include <array>
#include <span>
#include <optional>
#include <variant>

#include <nlohmann/json.hpp>

#include "engine/batch_kernel.h"
#include "engine/reading.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "server/limits.h"
#include "tabular/calc_inputs.h"

namespace wrenfield::server {

namespace {

using nlohmann::json;
using tabular::CalcInputs;
using Parameters = std::vector<std::pair<std::string, std::string>>;

// A field that could not be used: which one, and why.
struct FieldError {
    std::string field;
    std::string detail;
};

// The options a birth may set for itself or take from the query.
constexpr std::array<std::string_view, 4> kOptionNames = {"population", "sga", "lga", "strict"};
// The readings, in the order the methods take them.
constexpr std::array<std::string_view, 7> kInputNames = {"bwt", "gest", "wt", "ht", "sex", "eth", "par"};

bool isOneOf(std::string_view name, std::span<const std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
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
    case json::value_t::boolean:
        return value.get<bool>() ? "true" : "false";
    default:
        return std::nullopt;
    }
}

// The value of a birth's field, or of the query's option of that name.
struct BirthFields {
    const json& birth;
    const Parameters& parameters;

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

// One birth as read, with the options that apply to it.
struct Birth {
    CalcInputs inputs;
    engine::BandThresholds thresholds;
    bool strict = false;
};

double threshold(const BirthFields& fields, std::string_view name, double byDefault)
{
    auto text = fields.text(name);
    if (!text)
        return byDefault;
    try {
        return numberFromText(*text);
    } catch (const RuntimeError&) {
        throw FieldError{std::string(name), "not a number: \"" + *text + "\""};
    }
}

Birth readBirth(const json& birth, const Parameters& parameters)
{
    if (!birth.is_object())
        throw FieldError{"", "a birth must be a JSON object, not " + std::string(birth.type_name())};
    for (const auto& item : birth.items())
        if (!isOneOf(item.key(), kOptionNames) && !isOneOf(item.key(), kInputNames))
            throw FieldError{item.key(), "unknown field"};
    BirthFields fields{birth, parameters};
    Birth out;
    CalcInputs& inputs = out.inputs;
    if (auto population = fields.text("population"))
        inputs.population = parseField("population", *population, tabular::parsePopulation);
    out.thresholds.sga = threshold(fields, "sga", out.thresholds.sga);
    out.thresholds.lga = threshold(fields, "lga", out.thresholds.lga);
    if (auto problem = engine::thresholdProblem(out.thresholds))
        throw FieldError{fields.text("sga") ? "sga" : "lga", *problem};
    if (auto strict = fields.text("strict")) {
        if (*strict != "true" && *strict != "false")
            throw FieldError{"strict", "expected true or false, not \"" + *strict + "\""};
        out.strict = *strict == "true";
    }
    inputs.bwt = parseField("bwt", fields.required("bwt"), tabular::parseMeasurement);
    inputs.gestDays = parseField("gest", fields.required("gest"), tabular::parseGestationDays);
    inputs.wt = parseField("wt", fields.required("wt"), tabular::parseMeasurement);
    inputs.ht = parseField("ht", fields.required("ht"), tabular::parseMeasurement);
    inputs.sex = parseField("sex", fields.required("sex"), tabular::parseSex);
    const engine::CoefficientSet& set = engine::coefficients(inputs.population);
    inputs.eth = parseField("eth", fields.required("eth"),
                            [&set](std::string_view text) { return tabular::parseEthnicGroup(set, text); });
    inputs.par = parseField("par", fields.required("par"), tabular::parseParity);
    return out;
}

engine::BatchRecord record(const CalcInputs& in)
{
    return {in.population, {in.bwt, in.gestDays, in.wt, in.ht, static_cast<double>(in.sex),
                            static_cast<double>(in.eth), static_cast<double>(in.par)}};
}

FieldError computationError(std::string_view description)
{
    return {"", "the centile cannot be computed: " + std::string(description)};
}

using Outcome = std::variant<engine::Reading, FieldError>;

// Under `strict`, a flag is an error, named after the input it concerns.
Outcome checked(engine::Reading reading, const Birth& birth)
{
    if (!birth.strict || reading.flags.empty())
        return reading;
    std::string_view code = reading.flags.front().code;
    std::string field(code.substr(0, code.find('_')));
    if (!isOneOf(field, kInputNames))
        field.clear();
    return FieldError{field, "implausible (strict): " + engine::flagTexts(reading.flags)};
}

json resultJson(const engine::Reading& r, const engine::BandThresholds& thresholds)
{
    json flags = json::array();
    for (const engine::Flag& flag : r.flags)
        flags.push_back({{"code", flag.code}, {"text", flag.text}});
    return {
        {"population", engine::coefficients(r.population).name},
        {"centile", r.centile()},
        {"rounded", json::parse(tabular::roundedCentileText(r.centile()))},
        {"band", engine::bandCode(r.band)},
        {"bandLabel", engine::bandLabel(r.band, thresholds)},
        {"bandWords", engine::bandWords(r.band, thresholds)},
        {"z", r.detail.z},
        {"expectedWeight", r.detail.expected},
        {"weeks", r.detail.weeks},
        {"flags", std::move(flags)},
        {"coefficientSetVersion", engine::kCoefficientSetVersion},
    };
}

json errorJson(const FieldError& error)
{
    json out = {{"error", error.detail}};
    if (!error.field.empty())
        out["field"] = error.field;
    return out;
}

std::string dump(const json& doc)
{
    return doc.dump(-1, ' ', false, json::error_handler_t::replace);
}

Response oneBirth(const json& doc, const Parameters& parameters)
{
    Outcome outcome = FieldError{};
    Birth birth;
    try {
        birth = readBirth(doc, parameters);
        outcome = checked(engine::readBirth(birth.inputs.population, record(birth.inputs).inputs, birth.thresholds),
                          birth);
    } catch (const FieldError& error) {
        outcome = error;
    } catch (const RuntimeError& error) {
        outcome = computationError(error.description());
    }
    if (auto* error = std::get_if<FieldError>(&outcome)) {
        if (error->field.empty())
            return problem(422, error->detail);
        return problem(422, error->field + ": " + error->detail, error->field);
    }
    return {200, std::string(kJson), dump(resultJson(std::get<engine::Reading>(outcome), birth.thresholds)), {}};
}

// Many births: read each, compute the usable ones together in the batch
// kernel, and answer each in its place.
Response manyBirths(const json& doc, const Parameters& parameters)
{
    std::vector<std::variant<Birth, FieldError>> births;
    births.reserve(doc.size());
    std::vector<engine::BatchRecord> records;
    records.reserve(doc.size());
    for (const json& entry : doc) {
        try {
            births.emplace_back(readBirth(entry, parameters));
            records.push_back(record(std::get<Birth>(births.back()).inputs));
        } catch (const FieldError& error) {
            births.emplace_back(error);
        }
    }
    std::vector<engine::BatchOutcome> outcomes(records.size());
    engine::computeCentiles(records, outcomes);

    json results = json::array();
    std::size_t next = 0;
    for (const auto& entry : births) {
        if (auto* error = std::get_if<FieldError>(&entry)) {
            results.push_back(errorJson(*error));
            continue;
        }
        const Birth& birth = std::get<Birth>(entry);
        const engine::BatchRecord& rec = records[next];
        const engine::BatchOutcome& outcome = outcomes[next++];
        if (outcome.error) {
            results.push_back(errorJson(computationError(errorDescription(*outcome.error))));
            continue;
        }
        Outcome checkedReading = checked(engine::readBatchBirth(rec, outcome.centile, birth.thresholds), birth);
        if (auto* error = std::get_if<FieldError>(&checkedReading))
            results.push_back(errorJson(*error));
        else
            results.push_back(resultJson(std::get<engine::Reading>(checkedReading), birth.thresholds));
    }
    return {200, std::string(kJson), dump(results), {}};
}

}  // namespace

Response centileResponse(std::string_view body, const Parameters& parameters)
{
    for (const auto& [name, value] : parameters)
        if (!isOneOf(name, kOptionNames))
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
    if (doc.is_object())
        return oneBirth(doc, parameters);
    if (!doc.is_array())
        return problem(422, "expected one birth (a JSON object) or an array of births");
    if (doc.size() > kMaxBirths)
        return problem(413, "at most " + std::to_string(kMaxBirths) + " births in one request, not " +
                                std::to_string(doc.size()));
    return manyBirths(doc, parameters);
}

}  // namespace wrenfield::server
