#include "server/centile_endpoint.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <optional>
#include <span>
#include <unordered_set>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "reading/admission.h"
#include "reading/births.h"
#include "reading/fields.h"
#include "reading/json.h"
#include "reading/vocabulary.h"
#include "server/answer_room.h"
#include "server/birth_id.h"
#include "server/json_body.h"
#include "server/limits.h"
#include "server/shared_work.h"

namespace wrenfield::server {

namespace {

using Parameters = std::vector<std::pair<std::string, std::string>>;
using reading::InputField;

// A birth that cannot be read at all (not an object, an unknown field, an
// option that cannot be used): which field, and the error as every front
// end words it.
struct BirthError {
    std::string field;
    std::string error;
};

// The options a birth may set for itself or take from the query: the first
// names of kBirthFieldNames.
constexpr std::span<const std::string_view> kOptionNames{kBirthFieldNames.data(), kFirstInputField};

bool isOneOf(std::string_view name, std::span<const std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The population is the first of the options; the inputs follow them in the
// order the population methods take them.
constexpr std::size_t kPopulationField = 0;
static_assert(kBirthFieldNames[kPopulationField] == "population");
constexpr bool inputsInTheMethodsOrder()
{
    for (std::size_t c = 0; c < reading::kInputFieldCount; ++c)
        if (kBirthFieldNames[kFirstInputField + c] != reading::kInputColumns[c])
            return false;
    return kFirstInputField + reading::kInputFieldCount == kBirthFieldNames.size();
}
static_assert(inputsInTheMethodsOrder());

std::size_t fieldIndex(std::string_view name)
{
    return static_cast<std::size_t>(std::find(kBirthFieldNames.begin(), kBirthFieldNames.end(), name) -
                                    kBirthFieldNames.begin());
}

// How JSON names the type of a value a field cannot take.
std::string_view typeName(const GivenValue& value)
{
    switch (value.kind) {
    case GivenValue::Kind::Boolean:
        return "boolean";
    case GivenValue::Kind::Other:
        return value.type;
    default:
        return "null";
    }
}

// One birth as the service reads it: what its body gave each field, and the
// query's options, which it takes where it gives none.
class BirthSource {
public:
    BirthSource(const GivenBirth& given, const Parameters& parameters)
        : given_(given)
        , parameters_(parameters)
    {}

    const GivenValue& given(std::size_t index) const { return given_.values[index]; }
    const GivenValue& given(std::string_view name) const { return given(fieldIndex(name)); }

    std::optional<std::string> queried(std::string_view name) const
    {
        for (const auto& [key, value] : parameters_)
            if (key == name)
                return value;
        return std::nullopt;
    }

    // An option: a text, a number or a boolean as the text a user would
    // have typed.
    std::optional<std::string> optionText(std::string_view name) const
    {
        const GivenValue& value = given(name);
        switch (value.kind) {
        case GivenValue::Kind::Absent:
            return queried(name);
        case GivenValue::Kind::Text:
            return std::string(value.text);
        case GivenValue::Kind::Boolean:
            return value.boolean ? "true" : "false";
        case GivenValue::Kind::Number:
            return shortestText(value.number);
        case GivenValue::Kind::Null:
            return std::nullopt;
        case GivenValue::Kind::Other:
            break;
        }
        throw BirthError{std::string(name),
                         std::string(name) + ": must be a number or a text, not " + std::string(value.type)};
    }

private:
    const GivenBirth& given_;
    const Parameters& parameters_;
};

double thresholdOption(const BirthSource& birth, std::string_view name, double byDefault)
{
    auto text = birth.optionText(name);
    if (!text)
        return byDefault;
    try {
        return numberFromText(*text);
    } catch (const RuntimeError&) {
        throw BirthError{std::string(name), std::string(name) + ": not a number: \"" + *text + "\""};
    }
}

bool switchOption(const BirthSource& birth, std::string_view name)
{
    auto text = birth.optionText(name);
    if (text && *text != "true" && *text != "false")
        throw BirthError{std::string(name), std::string(name) + ": expected true or false, not \"" + *text + "\""};
    return text && *text == "true";
}

// The unit of a measurement's bare numbers ("bwtUnit": "kg").
void unitOption(const BirthSource& birth, InputField field, reading::Unit& unit)
{
    std::string name = std::string(reading::inputFieldName(field)) + "Unit";
    if (auto text = birth.optionText(name)) {
        reading::UnitChoice choice = reading::chooseUnit(field, *text);
        if (!choice.unit)
            throw BirthError{name, name + ": " + choice.error};
        unit = *choice.unit;
    }
}

// A value of an input, read into `reading`: a number is the number (in the
// unit the birth sets for it), a text is read with the vocabulary, null or
// an absent field is missing; anything else cannot be used.
void readFieldOf(reading::FieldReading& reading, const GivenValue& value, InputField field,
                 const engine::CoefficientSet& set, const reading::InputDialect& dialect)
{
    switch (value.kind) {
    case GivenValue::Kind::Absent:
    case GivenValue::Kind::Null:
        reading = {};
        return;
    case GivenValue::Kind::Number:
        reading::readNumberField(reading, field, value.number, dialect);
        return;
    case GivenValue::Kind::Text:
        reading = reading::readField(field, set, value.text, dialect);
        return;
    default:
        break;
    }
    reading.status = reading::FieldStatus::Invalid;
    reading.value = 0;
    reading.error = "must be a number or a text, not " + std::string(typeName(value));
}

// The options of one birth and the units of its bare numbers.
struct BirthSettings {
    reading::ReadingOptions options;
    reading::InputDialect dialect;
};

BirthSettings settingsOf(const BirthSource& birth)
{
    BirthSettings out;
    const double sga = thresholdOption(birth, "sga", 10);
    const double lga = thresholdOption(birth, "lga", 90);
    reading::ThresholdChoice thresholds = reading::thresholdsFor(sga, lga);
    if (!thresholds.thresholds)
        throw BirthError{thresholds.field, thresholds.error};
    out.options.thresholds = *thresholds.thresholds;
    out.options.strict = switchOption(birth, "strict");
    out.options.exact = switchOption(birth, "exact");
    unitOption(birth, InputField::Bwt, out.dialect.bwtUnit);
    unitOption(birth, InputField::Wt, out.dialect.wtUnit);
    unitOption(birth, InputField::Ht, out.dialect.htUnit);
    return out;
}

// The births of a request name few populations, most of them again and
// again: each text's reading is kept for the births that follow. Past this
// many texts, a new one is read each time it comes.
constexpr std::size_t kKeptPopulationTexts = 16;

// What every birth of a request that sets no option of its own (beyond its
// population) shares: the query's settings, or why they cannot be used,
// worked out for the first such birth; and the population texts met so far.
struct QuerySettings {
    bool made = false;
    BirthSettings settings;
    std::optional<BirthError> error;
    std::vector<std::pair<std::string, reading::PopulationReading>> populations;
};

// The population text a birth gives, as the text a user would have typed;
// nothing when it gives none (or null) and the query names none.
std::optional<std::string_view> populationText(const BirthSource& birth, std::string& scratch)
{
    const GivenValue& value = birth.given(kPopulationField);
    if (value.kind == GivenValue::Kind::Text)
        return value.text;
    std::optional<std::string> text = birth.optionText(kBirthFieldNames[kPopulationField]);
    if (!text)
        return std::nullopt;
    scratch = std::move(*text);
    return scratch;
}

// Reads the population and the seven inputs of a birth into `fields`; the
// options it is read with are its own (made in `own`) or the query's, and
// the result says which.
const BirthSettings& readBirth(const GivenBirth& given, const Parameters& parameters, QuerySettings& query,
                               BirthSettings& own, reading::BirthReading& fields)
{
    if (!given.notAnObject.empty())
        throw BirthError{"", "a birth must be a JSON object, not " + std::string(given.notAnObject)};
    if (given.unknownField)
        throw BirthError{*given.unknownField, *given.unknownField + ": unknown field"};
    const BirthSource birth(given, parameters);
    // The options come first in kBirthFieldNames, the population before the others.
    const bool ownSettings =
        std::any_of(given.values.begin() + 1, given.values.begin() + kFirstInputField,
                    [](const GivenValue& value) { return value.kind != GivenValue::Kind::Absent; });
    const BirthSettings* settings = &query.settings;
    if (ownSettings) {
        own = settingsOf(birth);
        settings = &own;
    } else {
        if (!query.made) {
            try {
                query.settings = settingsOf(birth);
            } catch (const BirthError& error) {
                query.error = error;
            }
            query.made = true;
        }
        if (query.error)
            throw *query.error;
    }
    const reading::InputDialect& dialect = settings->dialect;

    fields.population = engine::Population::UnitedKingdom;
    fields.populationError.clear();
    std::string scratch;
    if (const std::optional<std::string_view> text = populationText(birth, scratch)) {
        const reading::PopulationReading* named = nullptr;
        if (!ownSettings)
            for (const auto& [kept, reading] : query.populations)
                if (kept == *text) {
                    named = &reading;
                    break;
                }
        if (named) {
            fields.population = named->population;
            if (named->error.empty())
                fields.populationError.clear();
            else
                fields.populationError = named->error;
        } else {
            reading::PopulationReading read =
                reading::readRowPopulation(*text, engine::Population::UnitedKingdom, dialect);
            fields.population = read.population;
            fields.populationError = read.error;
            if (!ownSettings && query.populations.size() < kKeptPopulationTexts)
                query.populations.emplace_back(std::string(*text), std::move(read));
        }
    }
    const engine::CoefficientSet& set =
        engine::coefficients(fields.population.value_or(engine::Population::UnitedKingdom));
    for (std::size_t c = 0; c < reading::kInputFieldCount; ++c) {
        const auto field = static_cast<InputField>(c);
        const GivenValue& value = given.values[kFirstInputField + c];
        // The chart's fields come in the query.
        if (value.kind == GivenValue::Kind::Absent)
            if (const std::optional<std::string> queried = birth.queried(reading::kInputColumns[c])) {
                fields.fields[c] = reading::readField(field, set, *queried, dialect);
                continue;
            }
        readFieldOf(fields.fields[c], value, field, set, dialect);
    }
    return *settings;
}

// A birth's id as it is echoed (birth_id.h), or nothing; an id that cannot
// be used refuses the birth.
std::string birthId(const GivenBirth& given)
{
    const GivenValue& value = given.id;
    BirthId id;
    switch (value.kind) {
    case GivenValue::Kind::Absent:
    case GivenValue::Kind::Null:
        return {};
    case GivenValue::Kind::Text:
        id = birthIdFromText(value.text);
        break;
    case GivenValue::Kind::Number:
        id = birthIdFromNumber(value.number);
        break;
    default:
        id = birthIdOfType(typeName(value));
        break;
    }
    if (!id.error.empty())
        throw BirthError{std::string(reading::kBirthIdName), id.error};
    return id.json;
}

// Arrays at least this long are computed and written in parts of about
// this many births, shared with the service's helper threads.
constexpr std::size_t kPartBirths = 1000;
// A computed birth's record takes some 550 to 650 bytes: the room a part
// makes for each of its births at once.
constexpr std::size_t kRecordBytes = 640;

// The births of one request: read one by one as the body is parsed, then
// computed together. A birth's full result is made only where its record
// needs one (a refused birth, one computed alone, one not read plainly):
// most births of an array are written from their centile's details.
class RequestBirths {
public:
    explicit RequestBirths(const Parameters& parameters)
        : parameters_(parameters)
    {}

    // Room for about this many births, so that a long array is not moved
    // as it grows.
    void reserve(std::size_t births)
    {
        resultAt_.reserve(births);
        options_.reserve(births);
        ids_.reserve(births);
        records_.reserve(births);
        recordBirth_.reserve(births);
        ownOptions_.reserve(births);
    }

    void add(std::size_t index, const GivenBirth& given)
    {
        // Births come in order, each one place further (a resize, for any
        // other, makes the places between).
        if (index == resultAt_.size()) {
            resultAt_.push_back(kNoResult);
            options_.emplace_back();
            ids_.emplace_back();
        } else if (index > resultAt_.size()) {
            resultAt_.resize(index + 1, kNoResult);
            options_.resize(index + 1);
            ids_.resize(index + 1);
        }
        try {
            if (given.notAnObject.empty() && given.id.kind != GivenValue::Kind::Absent)
                ids_[index] = birthId(given);
            const BirthSettings& settings = readBirth(given, parameters_, query_, own_, fields_);
            options_[index] = settings.options;
            engine::BatchRecord record;
            if (reading::admitBirth(fields_, record, refused_)) {
                records_.push_back(record);
                recordBirth_.push_back(index);
                ownOptions_.push_back(&settings != &query_.settings);
            } else {
                resultFor(index) = std::exchange(refused_, reading::BirthResult{});
            }
        } catch (const BirthError& error) {
            reading::setProblem(resultFor(index), reading::Outcome::Refused, error.error, error.field);
        }
    }

    std::size_t size() const { return resultAt_.size(); }
    const std::string& id(std::size_t index) const { return ids_[index]; }
    // The result of a birth refused, or computed by compute().
    const reading::BirthResult& result(std::size_t index) const { return results_[resultAt_[index]]; }

    // Computes births [begin, end) (those admitted to the model), each into
    // its result.
    void compute(std::size_t begin, std::size_t end)
    {
        const auto [first, last] = admitted(begin, end);
        for (std::size_t k = first; k < last; ++k)
            resultFor(recordBirth_[k]);  // every result made before any is pointed at
        std::vector<reading::PendingBirth> pending;
        pending.reserve(last - first);
        for (std::size_t k = first; k < last; ++k)
            pending.push_back({records_[k], &options_[recordBirth_[k]], &results_[resultAt_[recordBirth_[k]]]});
        reading::ReadingScratch scratch;
        reading::readPending(pending, scratch);
    }

    // What computeToWrite hands to write(): for each admitted birth of the
    // stretch, whether it was read plainly, and then its band and details,
    // or else its place among the results of the births read one by one.
    // Kept by each thread from one stretch to the next.
    struct Stretch {
        std::size_t firstRecord = 0;
        std::vector<std::uint8_t> plain;
        std::vector<reading::Band> bands;
        std::vector<engine::CentileDetail> details;
        std::vector<std::uint32_t> resultAt;
        std::vector<reading::BirthResult> results;
        // Room for the computing.
        std::vector<engine::BatchRecord> shared;
        std::vector<std::size_t> sharedAt;  // each shared birth's place in records_
        std::vector<reading::PlainReading> readings;
        std::vector<reading::PendingBirth> pending;
        reading::ReadingScratch scratch;
    };

    // Computes births [begin, end) for write(): most births that take the
    // query's options read plainly (no flag, no decision point near), their
    // records written from the centile's details alone; the others each
    // into its result.
    void computeToWrite(std::size_t begin, std::size_t end, Stretch& stretch)
    {
        const auto [first, last] = admitted(begin, end);
        stretch.firstRecord = first;
        stretch.plain.assign(last - first, 0);
        stretch.bands.resize(last - first);
        stretch.details.resize(last - first);
        stretch.shared.clear();
        stretch.sharedAt.clear();
        stretch.pending.clear();
        for (std::size_t k = first; k < last; ++k) {
            if (!ownOptions_[k]) {
                stretch.shared.push_back(records_[k]);
                stretch.sharedAt.push_back(k);
            }
        }
        stretch.readings.resize(stretch.shared.size());
        if (!stretch.shared.empty())
            reading::readPlain(stretch.shared, query_.settings.options, stretch.readings,
                               std::span(stretch.details.data(), stretch.shared.size()), stretch.scratch);
        // The details were handed back in the order of the shared births:
        // each is moved to its own birth's place, last first (no birth's
        // place comes before its place among the shared).
        for (std::size_t j = stretch.shared.size(); j-- > 0;) {
            const std::size_t at = stretch.sharedAt[j] - first;
            if (stretch.readings[j].plain) {
                stretch.plain[at] = 1;
                stretch.bands[at] = stretch.readings[j].band;
                stretch.details[at] = stretch.details[j];
            }
        }
        stretch.resultAt.resize(last - first);
        std::size_t alone = 0;
        for (std::size_t k = first; k < last; ++k)
            if (!stretch.plain[k - first])
                stretch.resultAt[k - first] = static_cast<std::uint32_t>(alone++);
        // Fresh results: a result is filled as a new one is.
        stretch.results.clear();
        stretch.results.resize(alone);
        for (std::size_t k = first; k < last; ++k)
            if (!stretch.plain[k - first])
                stretch.pending.push_back(
                    {records_[k], &options_[recordBirth_[k]], &stretch.results[stretch.resultAt[k - first]]});
        reading::readPending(stretch.pending, stretch.scratch);
    }

    // Writes birth `index`'s record, of the stretch computeToWrite computed;
    // `record` is the place in records_ of the first admitted birth from
    // `index` on, and moves past it when it is this one.
    void write(reading::ResultsJsonText& text, std::size_t index, const Stretch& stretch, std::size_t& record) const
    {
        if (record < recordBirth_.size() && recordBirth_[record] == index) {
            const std::size_t at = record++ - stretch.firstRecord;
            if (stretch.plain[at]) {
                const engine::BatchRecord& admitted = records_[stretch.firstRecord + at];
                text.record(reading::ComputedBirth{admitted.population,
                                                   &admitted.inputs,
                                                   &stretch.details[at],
                                                   options_[index].thresholds,
                                                   stretch.bands[at],
                                                   {}},
                            ids_[index]);
                return;
            }
            text.record(stretch.results[stretch.resultAt[at]], ids_[index]);
            return;
        }
        text.record(results_[resultAt_[index]], ids_[index]);
    }

private:
    static constexpr std::uint32_t kNoResult = ~std::uint32_t{0};

    // Birth `index`'s full result, made when first asked for.
    reading::BirthResult& resultFor(std::size_t index)
    {
        if (resultAt_[index] == kNoResult) {
            resultAt_[index] = static_cast<std::uint32_t>(results_.size());
            results_.emplace_back();
        }
        return results_[resultAt_[index]];
    }

    // The admitted births among births [begin, end): records_[first, last).
    std::pair<std::size_t, std::size_t> admitted(std::size_t begin, std::size_t end) const
    {
        const auto first = std::lower_bound(recordBirth_.begin(), recordBirth_.end(), begin);
        const auto last = std::lower_bound(first, recordBirth_.end(), end);
        return {static_cast<std::size_t>(first - recordBirth_.begin()),
                static_cast<std::size_t>(last - recordBirth_.begin())};
    }

    const Parameters& parameters_;
    QuerySettings query_;
    // Room for the birth being read, reused from one birth to the next.
    BirthSettings own_;
    reading::BirthReading fields_;
    reading::BirthResult refused_;  // what admitBirth says of a birth it refuses
    // Each birth's place in results_, or kNoResult.
    std::vector<std::uint32_t> resultAt_;
    std::vector<reading::BirthResult> results_;
    std::vector<reading::ReadingOptions> options_;
    std::vector<std::string> ids_;  // each birth's id as echoed, or empty
    // The births admitted to the model, in order: each one's record, its
    // birth's index, and whether it takes options of its own.
    std::vector<engine::BatchRecord> records_;
    std::vector<std::size_t> recordBirth_;
    std::vector<bool> ownOptions_;
};

Response birthProblem(const reading::BirthResult& result, std::string_view id = {})
{
    Response answer =
        problem(422, result.error, result.field.empty() ? std::nullopt : std::optional<std::string>(result.field));
    insertId(answer.body, 0, id);
    return answer;
}

// The answer to an array: the results in order, computed and written in
// parts on several threads when the array is long. The parts are the
// answer's body in order, the first opening the array and the last closing
// it; they are not joined.
std::vector<std::string> arrayAnswer(RequestBirths& births)
{
    const std::size_t count = births.size();
    const std::size_t parts = std::max<std::size_t>(1, count / kPartBirths);
    std::vector<std::string> texts(parts);
    SharedWork::helpers().run(parts, [&](std::size_t k) {
        const std::size_t begin = count * k / parts;
        const std::size_t end = count * (k + 1) / parts;
        thread_local RequestBirths::Stretch stretch;
        births.computeToWrite(begin, end, stretch);
        texts[k] = takeAnswerRoom();
        reading::ResultsJsonText text(texts[k], (end - begin) * kRecordBytes + 2,
                                      reading::ResultsJsonText::OverWhatItHolds{});
        if (k == 0)
            text.put('[');
        std::size_t record = stretch.firstRecord;
        for (std::size_t i = begin; i < end; ++i) {
            if (i > 0)
                text.put(',');
            births.write(text, i, stretch, record);
        }
        if (k + 1 == parts)
            text.put(']');
    });
    return texts;
}

// Whether brackets outside strings nest deeper than kMaxJsonDepth.
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
            if (++depth > kMaxJsonDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

// The first key that one object gives twice, noted as nlohmann/json parses
// the body.
struct RepeatedKeys {
    std::vector<std::unordered_set<std::string>> open;  // the keys of each object being read, innermost last
    std::optional<std::string> first;

    void note(nlohmann::json::parse_event_t event, const nlohmann::json& parsed)
    {
        using Event = nlohmann::json::parse_event_t;
        if (event == Event::object_start) {
            open.emplace_back();
        } else if (event == Event::object_end && !open.empty()) {
            open.pop_back();
        } else if (event == Event::key && !open.empty()) {
            const std::string& key = parsed.get_ref<const std::string&>();
            if (!open.back().insert(key).second && !first)
                first = key;
        }
    }
};

Response repeatedKeyProblem(std::string key)
{
    key = key.substr(0, 100);
    return problem(400, "the key \"" + key + "\" is given twice in one object: which one holds cannot be told", key);
}

// Why a body that could not be read is refused, said as before the body
// was read as it is parsed: nesting too deep first, then where and why the
// JSON is malformed, in nlohmann/json's words (the line and column), then a
// repeated key. Only bodies that are refused come here.
Response unreadableBody(std::string_view body)
{
    if (nestsTooDeep(body))
        return problem(400,
                       "JSON nested more than " + std::to_string(kMaxJsonDepth) +
                           " deep: expected a birth or an array of births");
    RepeatedKeys repeated;
    const nlohmann::json doc = nlohmann::json::parse(
        body,
        [&repeated](int, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
            repeated.note(event, parsed);
            return true;
        },
        false);
    if (!doc.is_discarded() && repeated.first)
        return repeatedKeyProblem(*repeated.first);
    try {
        const nlohmann::json again = nlohmann::json::parse(body);
        (void)again;
    } catch (const nlohmann::json::exception& error) {
        // "[json.exception.parse_error.101] parse error at line 1, column 3: ..."; a
        // number too large for a double is an out_of_range error.
        std::string what = error.what();
        std::size_t bracket = what.find("] ");
        return problem(400, "malformed JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2)));
    }
    return problem(400, "malformed JSON");
}

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
    RequestBirths births(parameters);
    births.add(0, GivenBirth{});
    births.compute(0, 1);
    const reading::BirthResult& baby = births.result(0);
    if (!baby.computed())
        return birthProblem(baby);
    try {
        return {200, "image/svg+xml", chart(baby, side[0], side[1]), {}, {}};
    } catch (const RuntimeError& error) {
        return problem(422, "the centile cannot be computed: " + std::string(error.description()));
    }
}

Response centileResponse(std::string_view body, const Parameters& parameters)
{
    for (const auto& [name, value] : parameters)
        if (!isOneOf(name, kOptionNames))
            return problem(422, name + ": unknown option", name);

    RequestBirths births(parameters);
    // A birth takes some 60 bytes of JSON or more.
    births.reserve(std::min(kMaxBirths, body.size() / 60 + 1));
    const BodyReading reading = readJsonBody(
        body, kMaxBirths, [&births](std::size_t index, const GivenBirth& birth) { births.add(index, birth); });
    switch (reading.status) {
    case BodyReading::Status::Malformed:
    case BodyReading::Status::TooDeep:
        return unreadableBody(body);
    case BodyReading::Status::RepeatedKey:
        return repeatedKeyProblem(reading.repeatedKey);
    case BodyReading::Status::TooMany:
        return problem(413,
                       "at most " + std::to_string(kMaxBirths) + " births in one request, not " +
                           std::to_string(reading.births));
    case BodyReading::Status::Read:
        break;
    }
    if (reading.shape == BodyReading::Shape::OneBirth) {
        // One birth: its record alone, byte for byte what it gets inside an array.
        births.compute(0, 1);
        const reading::BirthResult& result = births.result(0);
        if (!result.computed())
            return birthProblem(result, births.id(0));
        std::string answer = reading::resultJson(result);
        insertId(answer, 0, births.id(0));
        return {200, std::string(kJson), std::move(answer), {}, {}};
    }
    if (reading.shape != BodyReading::Shape::Array)
        return problem(422, "expected one birth (a JSON object) or an array of births");
    std::vector<std::string> parts = arrayAnswer(births);
    Response answer{200, std::string(kJson), std::move(parts.front()), {}, {}};
    answer.more.assign(std::make_move_iterator(parts.begin() + 1), std::make_move_iterator(parts.end()));
    return answer;
}

}  // namespace wrenfield::server
