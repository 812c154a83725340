#include "server/centile_endpoint.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <span>
#include <unordered_set>
#include <variant>

#include <nlohmann/json.hpp>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "reading/admission.h"
#include "reading/births.h"
#include "reading/json.h"
#include "reading/fields.h"
#include "reading/vocabulary.h"
#include "server/birth_id.h"
#include "server/limits.h"

namespace wrenfield::server {

namespace {

using nlohmann::json;
using Parameters = std::vector<std::pair<std::string, std::string>>;
using reading::InputField;

// A birth that cannot be read at all (not an object, an unknown field, an
// option that cannot be used): which field, and the error as every front
// end words it.
struct BirthError {
    std::string field;
    std::string error;
};

// The options a birth may set for itself or take from the query.
constexpr std::array<std::string_view, 8> kOptionNames = {"population", "sga", "lga", "strict", "exact",
                                                           "bwtUnit", "wtUnit", "htUnit"};

bool isOneOf(std::string_view name, std::span<const std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// An option of a birth, or of the query: a text, a number or a boolean as the
// text a user would have typed.
std::optional<std::string> optionText(const json& birth, const Parameters& parameters, std::string_view name)
{
    auto it = birth.find(name);
    if (it != birth.end()) {
        switch (it->type()) {
        case json::value_t::string: return it->get<std::string>();
        case json::value_t::boolean: return it->get<bool>() ? "true" : "false";
        case json::value_t::number_unsigned:
        case json::value_t::number_integer:
        case json::value_t::number_float: return shortestText(it->get<double>());
        case json::value_t::null: return std::nullopt;
        default:
            throw BirthError{std::string(name), std::string(name) + ": must be a number or a text, not " +
                                                    std::string(it->type_name())};
        }
    }
    for (const auto& [key, value] : parameters)
        if (key == name)
            return value;
    return std::nullopt;
}

double thresholdOption(const json& birth, const Parameters& parameters, std::string_view name, double byDefault)
{
    auto text = optionText(birth, parameters, name);
    if (!text)
        return byDefault;
    try {
        return numberFromText(*text);
    } catch (const RuntimeError&) {
        throw BirthError{std::string(name), std::string(name) + ": not a number: \"" + *text + "\""};
    }
}

bool switchOption(const json& birth, const Parameters& parameters, std::string_view name)
{
    auto text = optionText(birth, parameters, name);
    if (text && *text != "true" && *text != "false")
        throw BirthError{std::string(name), std::string(name) + ": expected true or false, not \"" + *text + "\""};
    return text && *text == "true";
}

// The unit of a measurement's bare numbers ("bwtUnit": "kg").
void unitOption(const json& birth, const Parameters& parameters, InputField field, reading::Unit& unit)
{
    std::string name = std::string(reading::inputFieldName(field)) + "Unit";
    if (auto text = optionText(birth, parameters, name)) {
        reading::UnitChoice choice = reading::chooseUnit(field, *text);
        if (!choice.unit)
            throw BirthError{name, name + ": " + choice.error};
        unit = *choice.unit;
    }
}

// One birth as the service received it, read field by field.
struct ReadBirth {
    reading::BirthReading fields;
    reading::ReadingOptions options;
};

// A JSON value of an input: a number is the number (in the unit the birth
// sets for it), a text is read with the vocabulary, null or an absent field
// is missing; anything else cannot be used.
reading::FieldReading fieldOf(const json* value, InputField field, const engine::CoefficientSet& set,
                              const reading::InputDialect& dialect)
{
    if (!value || value->is_null())
        return {};
    if (value->is_number())
        return reading::numberField(field, value->get<double>(), dialect);
    if (value->is_string())
        return reading::readField(field, set, value->get<std::string>(), dialect);
    reading::FieldReading invalid;
    invalid.status = reading::FieldStatus::Invalid;
    invalid.error = "must be a number or a text, not " + std::string(value->type_name());
    return invalid;
}

ReadBirth readBirth(const json& birth, const Parameters& parameters)
{
    if (!birth.is_object())
        throw BirthError{"", "a birth must be a JSON object, not " + std::string(birth.type_name())};
    for (const auto& item : birth.items())
        if (!isOneOf(item.key(), kOptionNames) && !isOneOf(item.key(), reading::kInputColumns) &&
            item.key() != reading::kBirthIdName)
            throw BirthError{item.key(), item.key() + ": unknown field"};
    ReadBirth out;
    const double sga = thresholdOption(birth, parameters, "sga", 10);
    const double lga = thresholdOption(birth, parameters, "lga", 90);
    reading::ThresholdChoice thresholds = reading::thresholdsFor(sga, lga);
    if (!thresholds.thresholds)
        throw BirthError{thresholds.field, thresholds.error};
    out.options.thresholds = *thresholds.thresholds;
    out.options.strict = switchOption(birth, parameters, "strict");
    out.options.exact = switchOption(birth, parameters, "exact");
    reading::InputDialect dialect;
    unitOption(birth, parameters, InputField::Bwt, dialect.bwtUnit);
    unitOption(birth, parameters, InputField::Wt, dialect.wtUnit);
    unitOption(birth, parameters, InputField::Ht, dialect.htUnit);

    reading::BirthReading& fields = out.fields;
    fields.population = engine::Population::UnitedKingdom;
    if (auto population = optionText(birth, parameters, "population")) {
        reading::PopulationReading named =
            reading::readRowPopulation(*population, engine::Population::UnitedKingdom, dialect);
        fields.population = named.population;
        fields.populationError = named.error;
    }
    const engine::CoefficientSet& set = engine::coefficients(fields.population.value_or(engine::Population::UnitedKingdom));
    for (std::size_t c = 0; c < reading::kInputFieldCount; ++c) {
        const auto field = static_cast<InputField>(c);
        const std::string name(reading::kInputColumns[c]);
        auto it = birth.find(name);
        if (it != birth.end()) {
            fields.fields[c] = fieldOf(&*it, field, set, dialect);
            continue;
        }
        // The chart's fields come in the query.
        auto queried = std::find_if(parameters.begin(), parameters.end(),
                                    [&name](const auto& parameter) { return parameter.first == name; });
        fields.fields[c] = queried != parameters.end() ? reading::readField(field, set, queried->second, dialect)
                                                       : fieldOf(nullptr, field, set, dialect);
    }
    return out;
}

// A birth's id as it is echoed (birth_id.h), or nothing; an id that cannot
// be used refuses the birth.
std::string birthId(const json& birth)
{
    if (!birth.is_object())
        return {};
    auto it = birth.find(reading::kBirthIdName);
    if (it == birth.end() || it->is_null())
        return {};
    BirthId id;
    if (it->is_string())
        id = birthIdFromText(it->get_ref<const std::string&>());
    else if (it->is_number())
        id = birthIdFromNumber(it->get<double>());
    else
        id = birthIdOfType(it->type_name());
    if (!id.error.empty())
        throw BirthError{std::string(reading::kBirthIdName), id.error};
    return id.json;
}

// The births of one request read and computed: each result in its place,
// and each birth's id (birthId) in `ids` when it is given.
std::vector<reading::BirthResult> readBirths(std::span<const json> births, const Parameters& parameters,
                                             std::vector<std::string>* ids = nullptr)
{
    std::vector<reading::BirthResult> results(births.size());
    std::vector<reading::ReadingOptions> options(births.size());
    std::vector<reading::PendingBirth> pending;
    pending.reserve(births.size());
    if (ids)
        ids->assign(births.size(), {});
    for (std::size_t i = 0; i < births.size(); ++i) {
        try {
            if (ids)
                (*ids)[i] = birthId(births[i]);
            ReadBirth birth = readBirth(births[i], parameters);
            options[i] = birth.options;
            reading::PendingBirth entry{{}, &options[i], &results[i]};
            if (reading::admitBirth(birth.fields, entry.record, results[i]))
                pending.push_back(entry);
        } catch (const BirthError& error) {
            reading::setProblem(results[i], reading::Outcome::Refused, error.error, error.field);
        }
    }
    reading::ReadingScratch scratch;
    reading::readPending(pending, scratch);
    return results;
}

Response birthProblem(const reading::BirthResult& result, std::string_view id = {})
{
    Response answer = problem(422, result.error,
                              result.field.empty() ? std::nullopt : std::optional<std::string>(result.field));
    insertId(answer.body, 0, id);
    return answer;
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

std::optional<int> chartSide(const Parameters& parameters, std::string_view name, int byDefault)
{
    for (const auto& [key, value] : parameters) {
        if (key != name)
            continue;
        int side = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), side);
        if (ec != std::errc() || end != value.data() + value.size() || side < kMinChartSide || side > kMaxChartSide)
            return std::nullopt;
        return side;
    }
    return byDefault;
}

}  // namespace

Response chartResponse(const Parameters& parameters, const ChartRenderer& chart)
{
    for (const auto& [name, value] : parameters)
        if (!isOneOf(name, kOptionNames) && !isOneOf(name, reading::kInputColumns) && name != "width" &&
            name != "height")
            return problem(422, name + ": unknown parameter", name);
    int side[2] = {};
    const char* names[2] = {"width", "height"};
    const int defaults[2] = {kDefaultChartWidth, kDefaultChartHeight};
    for (int i = 0; i < 2; ++i) {
        std::optional<int> given = chartSide(parameters, names[i], defaults[i]);
        if (!given)
            return problem(422,
                           std::string(names[i]) + ": expected whole pixels from " + std::to_string(kMinChartSide) +
                               " to " + std::to_string(kMaxChartSide),
                           names[i]);
        side[i] = *given;
    }
    // The birth's fields are all in the query: the same reading, and the
    // same refusals (strict included), as POST /v1/centile.
    const json noFields = json::object();
    const reading::BirthResult baby = readBirths({&noFields, 1}, parameters).front();
    if (!baby.computed())
        return birthProblem(baby);
    try {
        return {200, "image/svg+xml", chart(baby, side[0], side[1]), {}};
    } catch (const RuntimeError& error) {
        return problem(422, "the centile cannot be computed: " + std::string(error.description()));
    }
}

Response centileResponse(std::string_view body, const Parameters& parameters)
{
    for (const auto& [name, value] : parameters)
        if (!isOneOf(name, kOptionNames))
            return problem(422, name + ": unknown option", name);

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
    if (doc.is_object()) {
        // One birth: its record alone, byte for byte what it gets inside an array.
        std::vector<std::string> id;
        const reading::BirthResult result = readBirths({&doc, 1}, parameters, &id).front();
        if (!result.computed())
            return birthProblem(result, id.front());
        std::string body = reading::resultJson(result);
        insertId(body, 0, id.front());
        return {200, std::string(kJson), std::move(body), {}};
    }
    if (!doc.is_array())
        return problem(422, "expected one birth (a JSON object) or an array of births");
    if (doc.size() > kMaxBirths)
        return problem(413, "at most " + std::to_string(kMaxBirths) + " births in one request, not " +
                                std::to_string(doc.size()));
    const std::vector<json>& births = doc.get_ref<const json::array_t&>();
    std::vector<std::string> ids;
    const std::vector<reading::BirthResult> results = readBirths(births, parameters, &ids);
    std::string out = "[";
    out.reserve(results.size() * 700);
    for (std::size_t i = 0; i < results.size(); ++i) {
        if (i > 0)
            out += ',';
        const std::size_t at = out.size();
        reading::appendResultJson(out, results[i]);
        insertId(out, at, ids[i]);
    }
    out += ']';
    return {200, std::string(kJson), std::move(out), {}};
}

}  // namespace wrenfield::server
