#include "server/centile_endpoint.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <array>
#include <span>
#include <optional>
#include <unordered_set>
#include <variant>

#include <nlohmann/json.hpp>

#include "engine/batch_kernel.h"
#include "engine/reading.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "server/limits.h"
#include "tabular/calc_inputs.h"
#include "tabular/units.h"
#include "tabular/vocabulary.h"

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
constexpr std::array<std::string_view, 7> kOptionNames = {"population", "sga", "lga", "strict",
                                                           "bwtUnit", "wtUnit", "htUnit"};
// The readings, in the order the methods take them.
constexpr std::array<std::string_view, 7> kInputNames = tabular::kInputColumns;

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

// The unit of a measurement's bare numbers ("bwtUnit": "kg").
void unitOption(const BirthFields& fields, tabular::InputField field, tabular::Unit& unit)
{
    std::string name = std::string(tabular::inputFieldName(field)) + "Unit";
    if (auto text = fields.text(name)) {
        tabular::UnitChoice choice = tabular::chooseUnit(field, *text);
        if (!choice.unit)
            throw FieldError{name, choice.error};
        unit = *choice.unit;
    }
}

Birth readBirth(const json& birth, const Parameters& parameters)
{
    using tabular::InputField;
    if (!birth.is_object())
        throw FieldError{"", "a birth must be a JSON object, not " + std::string(birth.type_name())};
    for (const auto& item : birth.items())
        if (!isOneOf(item.key(), kOptionNames) && !isOneOf(item.key(), kInputNames))
            throw FieldError{item.key(), "unknown field"};
    BirthFields fields{birth, parameters};
    Birth out;
    CalcInputs& inputs = out.inputs;
    if (auto population = fields.text("population")) {
        tabular::PopulationReading reading = tabular::readPopulation(*population);
        if (!reading.population)
            throw FieldError{"population", reading.error};
        inputs.population = *reading.population;
    }
    out.thresholds.sga = threshold(fields, "sga", out.thresholds.sga);
    out.thresholds.lga = threshold(fields, "lga", out.thresholds.lga);
    if (auto problem = engine::thresholdProblem(out.thresholds))
        throw FieldError{fields.text("sga") ? "sga" : "lga", *problem};
    if (auto strict = fields.text("strict")) {
        if (*strict != "true" && *strict != "false")
            throw FieldError{"strict", "expected true or false, not \"" + *strict + "\""};
        out.strict = *strict == "true";
    }
    // As `custcent calc` reads one birth: measurements above 0, units allowed.
    tabular::InputDialect dialect;
    dialect.positiveMeasurements = true;
    unitOption(fields, InputField::Bwt, dialect.bwtUnit);
    unitOption(fields, InputField::Wt, dialect.wtUnit);
    unitOption(fields, InputField::Ht, dialect.htUnit);

    const engine::CoefficientSet& set = engine::coefficients(inputs.population);
    std::array<double, tabular::kInputFieldCount> values{};
    for (std::size_t i = 0; i < tabular::kInputFieldCount; ++i) {
        std::string_view name = kInputNames[i];
        std::string text = fields.required(name);
        tabular::FieldReading reading = tabular::readField(static_cast<InputField>(i), set, text, dialect);
        if (reading.status == tabular::FieldStatus::Missing)
            throw FieldError{std::string(name), "missing"};
        if (reading.status == tabular::FieldStatus::Invalid)
            throw FieldError{std::string(name), reading.error};
        values[i] = reading.value;
    }
    inputs.bwt = values[0];
    inputs.gestDays = values[1];
    inputs.wt = values[2];
    inputs.ht = values[3];
    inputs.sex = values[4];
    inputs.eth = values[5];
    inputs.par = values[6];
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

// The answers are written as text directly rather than built as JSON values
// first: for 10,000 births that is most of the time saved.
void appendString(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

// The shortest text that reads back to the same double; JSON has no infinity.
void appendNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    out.append(text, end);
}

void appendKey(std::string& out, std::string_view key)
{
    out += out.back() == '{' ? "" : ",";
    appendString(out, key);
    out += ':';
}

void appendResult(std::string& out, const engine::Reading& r, const engine::BandThresholds& thresholds)
{
    out += '{';
    appendKey(out, "population");
    appendString(out, engine::coefficients(r.population).name);
    appendKey(out, "centile");
    appendNumber(out, r.centile());
    appendKey(out, "rounded");
    out += tabular::roundedCentileText(r.centile());
    appendKey(out, "band");
    appendString(out, engine::bandCode(r.band));
    appendKey(out, "bandLabel");
    appendString(out, engine::bandLabel(r.band, thresholds));
    appendKey(out, "bandWords");
    appendString(out, engine::bandWords(r.band, thresholds));
    appendKey(out, "z");
    appendNumber(out, r.detail.z);
    appendKey(out, "expectedWeight");
    appendNumber(out, r.detail.expected);
    appendKey(out, "weeks");
    appendNumber(out, r.detail.weeks);
    appendKey(out, "flags");
    out += '[';
    for (const engine::Flag& flag : r.flags) {
        out += out.back() == '[' ? "{" : ",{";
        appendKey(out, "code");
        appendString(out, flag.code);
        appendKey(out, "text");
        appendString(out, flag.text);
        out += '}';
    }
    out += ']';
    appendKey(out, "coefficientSetVersion");
    appendString(out, engine::kCoefficientSetVersion);
    out += '}';
}

// Texts a client sent (an unknown field's name) may hold any bytes: the
// JSON library writes them as valid UTF-8.
void appendError(std::string& out, const FieldError& error)
{
    json doc = {{"error", error.detail}};
    if (!error.field.empty())
        doc["field"] = error.field;
    out += doc.dump(-1, ' ', false, json::error_handler_t::replace);
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
    std::string out;
    appendResult(out, std::get<engine::Reading>(outcome), birth.thresholds);
    return {200, std::string(kJson), std::move(out), {}};
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

    std::string out = "[";
    out.reserve(births.size() * 320);
    std::size_t next = 0;
    for (const auto& entry : births) {
        if (out.size() > 1)
            out += ',';
        if (auto* error = std::get_if<FieldError>(&entry)) {
            appendError(out, *error);
            continue;
        }
        const Birth& birth = std::get<Birth>(entry);
        const engine::BatchRecord& rec = records[next];
        const engine::BatchOutcome& outcome = outcomes[next++];
        if (outcome.error) {
            appendError(out, computationError(errorDescription(*outcome.error)));
            continue;
        }
        Outcome checkedReading = checked(engine::readBatchBirth(rec, outcome.centile, birth.thresholds), birth);
        if (auto* error = std::get_if<FieldError>(&checkedReading))
            appendError(out, *error);
        else
            appendResult(out, std::get<engine::Reading>(checkedReading), birth.thresholds);
    }
    out += ']';
    return {200, std::string(kJson), std::move(out), {}};
}

// Births nest at most this deep: an array, its births, a value that is not
// a number or a text (refused, with its field named).
constexpr int kMaxDepth = 3;

// Whether brackets outside strings nest deeper than kMaxDepth. Checked before
// parsing, so that a body of nested brackets cannot make the parser build
// millions of empty arrays.
bool nestsTooDeep(std::string_view body)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

// The first key that one object gives twice ({"bwt": 3400, "bwt": 1000}),
// noted as the body is parsed. The parser would keep the last one; a query
// would give the first: neither is read, the request is refused.
struct RepeatedKeys {
    std::vector<std::unordered_set<std::string>> open;  // the keys of each object being read, innermost last
    std::optional<std::string> first;

    void note(json::parse_event_t event, const json& parsed)
    {
        if (event == json::parse_event_t::object_start) {
            open.emplace_back();
        } else if (event == json::parse_event_t::object_end && !open.empty()) {
            open.pop_back();
        } else if (event == json::parse_event_t::key && !open.empty()) {
            const std::string& key = parsed.get_ref<const std::string&>();
            if (!open.back().insert(key).second && !first)
                first = key;
        }
    }
};

// The chart's size in pixels: big enough to read, small enough to draw quickly.
constexpr int kDefaultChartWidth = 900;
constexpr int kDefaultChartHeight = 600;
constexpr int kMinChartSide = 200;
constexpr int kMaxChartSide = 4000;

int chartSide(const Parameters& parameters, std::string_view name, int byDefault)
{
    for (const auto& [key, value] : parameters) {
        if (key != name)
            continue;
        int side = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), side);
        if (ec != std::errc() || end != value.data() + value.size() || side < kMinChartSide || side > kMaxChartSide)
            throw FieldError{std::string(name), "expected whole pixels from " + std::to_string(kMinChartSide) +
                                                    " to " + std::to_string(kMaxChartSide) + ", not \"" + value + "\""};
        return side;
    }
    return byDefault;
}

}  // namespace

Response chartResponse(const Parameters& parameters, const ChartRenderer& chart)
{
    for (const auto& [name, value] : parameters)
        if (!isOneOf(name, kOptionNames) && !isOneOf(name, kInputNames) && name != "width" && name != "height")
            return problem(422, "unknown parameter", name);
    Birth birth;
    engine::BatchRecord rec;
    int width = 0;
    int height = 0;
    try {
        width = chartSide(parameters, "width", kDefaultChartWidth);
        height = chartSide(parameters, "height", kDefaultChartHeight);
        // The birth's fields are all in the query: the same reading, and the
        // same refusals (strict included), as POST /v1/centile.
        birth = readBirth(json::object(), parameters);
        rec = record(birth.inputs);
        Outcome outcome = checked(engine::readBirth(rec.population, rec.inputs, birth.thresholds), birth);
        if (auto* error = std::get_if<FieldError>(&outcome))
            throw *error;
    } catch (const FieldError& error) {
        if (error.field.empty())
            return problem(422, error.detail);
        return problem(422, error.field + ": " + error.detail, error.field);
    } catch (const RuntimeError& error) {
        return problem(422, computationError(error.description()).detail);
    }
    try {
        return {200, "image/svg+xml", chart(rec.population, rec.inputs, width, height), {}};
    } catch (const RuntimeError& error) {
        return problem(422, computationError(error.description()).detail);
    }
}

Response centileResponse(std::string_view body, const Parameters& parameters)
{
    for (const auto& [name, value] : parameters)
        if (!isOneOf(name, kOptionNames))
            return problem(422, "unknown option", name);

    if (nestsTooDeep(body))
        return problem(400, "JSON nested more than " + std::to_string(kMaxDepth) +
                                " deep: expected a birth or an array of births");
    RepeatedKeys repeated;
    json doc = json::parse(body, [&repeated](int, json::parse_event_t event, json& parsed) {
        repeated.note(event, parsed);
        return true;
    }, false);
    if (!doc.is_discarded() && repeated.first) {
        const std::string key = repeated.first->substr(0, 100);
        return problem(400, "the key \"" + key + "\" is given twice in one object: which one holds cannot be told", key);
    }
    if (doc.is_discarded()) {
        // Parsed again only to say where and why.
        try {
            json unused = json::parse(body);
            (void)unused;
        } catch (const json::exception& error) {
            // "[json.exception.parse_error.101] parse error at line 1, column 3: ..."; a
            // number too large for a double is an out_of_range error.
            std::string what = error.what();
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
