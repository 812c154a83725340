#include "server/json_body.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <simdjson.h>

namespace wrenfield::server {

namespace {

namespace od = simdjson::ondemand;
using simdjson::error_code;
using simdjson::SUCCESS;

// Bodies up to this size leave their thread's parser and copy room for the
// next request; a larger one gives its room back when it is read, so that a
// few large requests do not keep memory for good.
constexpr std::size_t kKeptBytes = std::size_t{2} << 20;

// What a thread keeps from one request to the next.
struct ParserRoom {
    od::parser parser;
    std::vector<char> padded;  // the body, and the padding simdjson reads beyond its end
};

std::string_view typeName(od::json_type type)
{
    switch (type) {
    case od::json_type::array:
        return "array";
    case od::json_type::object:
        return "object";
    case od::json_type::number:
        return "number";
    case od::json_type::string:
        return "string";
    case od::json_type::boolean:
        return "boolean";
    case od::json_type::null:
        return "null";
    }
    return "value";
}

// The name of a birth's own id (reading/fields.h names it too).
constexpr std::string_view kIdName = "id";

// The names a birth may give, found by their length and their first and
// last letters, which tell every one of them apart: at most one name is
// compared byte by byte.
class FieldNameTable {
public:
    constexpr FieldNameTable()
    {
        for (auto& i : index_)
            i = -1;
        for (std::size_t i = 0; i < kBirthFieldNames.size(); ++i)
            index_[place(kBirthFieldNames[i])] = static_cast<signed char>(i);
    }

    // Whether no two names share a place.
    static constexpr bool tellsApart()
    {
        for (std::size_t i = 0; i < kBirthFieldNames.size(); ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (place(kBirthFieldNames[i]) == place(kBirthFieldNames[j]))
                    return false;
        return true;
    }

    int find(std::string_view name) const
    {
        if (name.empty())
            return -1;
        const int i = index_[place(name)];
        if (i < 0)
            return -1;
        const std::string_view known = kBirthFieldNames[static_cast<std::size_t>(i)];
        if (known.size() != name.size())
            return -1;
        for (std::size_t k = 0; k < known.size(); ++k)
            if (known[k] != name[k])
                return -1;
        return i;
    }

private:
    static constexpr std::size_t kPlaces = 32;

    static constexpr std::size_t place(std::string_view name)
    {
        const auto first = static_cast<unsigned char>(name.front());
        const auto last = static_cast<unsigned char>(name.back());
        return (first * 3 + last * 8 + name.size()) % kPlaces;
    }

    signed char index_[kPlaces] = {};
};
static_assert(FieldNameTable::tellsApart());
constexpr FieldNameTable kFieldNameTable;

int birthFieldIndex(std::string_view name)
{
    return kFieldNameTable.find(name);
}

// Whether a number's text is a whole number as JSON writes one: no fraction,
// no exponent.
bool integerToken(std::string_view token)
{
    return token.find_first_of(".eE") == std::string_view::npos;
}

// Calls `each` with every element of an array, in order, until one fails.
template <typename Each> error_code eachElement(od::array& array, const Each& each)
{
    for (auto element : array) {
        od::value value;
        if (error_code error = element.get(value))
            return error;
        if (error_code error = each(value))
            return error;
    }
    return SUCCESS;
}

class BodyWalker {
public:
    BodyWalker(std::size_t maxBirths, const std::function<void(std::size_t, const GivenBirth&)>& handOver)
        : maxBirths_(maxBirths)
        , handOver_(handOver)
    {}

    BodyReading read(od::document& doc)
    {
        const error_code error = document(doc);
        if (tooDeep_)
            result_.status = BodyReading::Status::TooDeep;
        else if (error)
            result_.status = BodyReading::Status::Malformed;
        else if (!result_.repeatedKey.empty())
            result_.status = BodyReading::Status::RepeatedKey;
        else if (result_.shape == BodyReading::Shape::Array && result_.births > maxBirths_)
            result_.status = BodyReading::Status::TooMany;
        else
            result_.status = BodyReading::Status::Read;
        return result_;
    }

private:
    error_code document(od::document& doc)
    {
        od::json_type type;
        if (error_code error = doc.type().get(type))
            return error;
        if (type == od::json_type::object) {
            result_.shape = BodyReading::Shape::OneBirth;
            od::object object;
            if (error_code error = doc.get_object().get(object))
                return error;
            if (error_code error = birth(object, 1, given_))
                return error;
            result_.births = 1;
            handOver_(0, given_);
        } else if (type == od::json_type::array) {
            result_.shape = BodyReading::Shape::Array;
            od::array array;
            if (error_code error = doc.get_array().get(array))
                return error;
            if (error_code error = eachElement(array, [this](od::value& value) { return arrayBirth(value); }))
                return error;
        } else {
            // A lone number, text or literal: read whole, then nothing may follow.
            return rootScalar(doc, type);
        }
        // Nothing but blanks after the closing bracket.
        const char* rest = nullptr;
        const error_code atEnd = doc.current_location().get(rest);
        return atEnd == simdjson::OUT_OF_BOUNDS ? SUCCESS : simdjson::TRAILING_CONTENT;
    }

    error_code rootScalar(od::document& doc, od::json_type type)
    {
        switch (type) {
        case od::json_type::number:
            return doc.get_double().error();
        case od::json_type::string:
            return doc.get_string().error();
        case od::json_type::boolean:
            return doc.get_bool().error();
        case od::json_type::null: {
            bool null = false;
            if (error_code error = doc.is_null().get(null))
                return error;
            return null ? SUCCESS : simdjson::INCORRECT_TYPE;
        }
        default:
            return simdjson::INCORRECT_TYPE;
        }
    }

    error_code arrayBirth(od::value& value)
    {
        const std::size_t index = result_.births++;
        od::json_type type;
        if (error_code error = value.type().get(type))
            return error;
        if (type == od::json_type::object) {
            od::object object;
            if (error_code error = value.get_object().get(object))
                return error;
            if (error_code error = birth(object, 2, given_))
                return error;
        } else {
            if (error_code error = skip(value, 2))
                return error;
            given_ = {};
            given_.notAnObject = typeName(type);
        }
        if (index < maxBirths_)
            handOver_(index, given_);
        return SUCCESS;
    }

    // A birth: an object at `depth` whose members are read into `given`.
    error_code birth(od::object& object, int depth, GivenBirth& given)
    {
        // Only what a birth reads is reset: each value's kind says which of
        // its other members hold anything.
        for (GivenValue& value : given.values)
            value.kind = GivenValue::Kind::Absent;
        given.id.kind = GivenValue::Kind::Absent;
        given.notAnObject = {};
        given.unknownField.reset();
        unknown_.clear();
        std::uint32_t seen = 0;
        bool seenId = false;
        for (auto member : object) {
            // The member is read where the iterator holds it: a copy of it
            // would be read back at once in one piece from the two smaller
            // stores that wrote it, which stalls the processor.
            if (error_code error = member.error())
                return error;
            od::field&& field = std::move(member).value_unsafe();
            std::string_view name;
            if (error_code error = key(field, name))
                return error;
            if (name == kIdName) {
                if (seenId && result_.repeatedKey.empty())
                    result_.repeatedKey = std::string(name);
                seenId = true;
                if (error_code error = value(field.value(), depth + 1, given.id))
                    return error;
                continue;
            }
            const int index = birthFieldIndex(name);
            if (index < 0) {
                if (!given.unknownField || name < *given.unknownField)
                    given.unknownField = std::string(name);
                noteKey(unknown_, name);
                if (error_code error = skip(field.value(), depth + 1))
                    return error;
                continue;
            }
            const std::uint32_t bit = std::uint32_t{1} << index;
            if ((seen & bit) && result_.repeatedKey.empty())
                result_.repeatedKey = std::string(name);
            seen |= bit;
            if (error_code error = value(field.value(), depth + 1, given.values[static_cast<std::size_t>(index)]))
                return error;
        }
        return SUCCESS;
    }

    // A member's value as the birth gives it.
    error_code value(od::value& value, int depth, GivenValue& out)
    {
        od::json_type type;
        if (error_code error = value.type().get(type))
            return error;
        switch (type) {
        case od::json_type::number:
            out.kind = GivenValue::Kind::Number;
            return number(value, out.number);
        case od::json_type::string:
            out.kind = GivenValue::Kind::Text;
            return text(value, out.text);
        case od::json_type::boolean:
            out.kind = GivenValue::Kind::Boolean;
            return value.get_bool().get(out.boolean);
        case od::json_type::null:
            out.kind = GivenValue::Kind::Null;
            return null(value);
        case od::json_type::array:
        case od::json_type::object:
            out.kind = GivenValue::Kind::Other;
            out.type = typeName(type);
            return skip(value, depth);
        }
        return simdjson::INCORRECT_TYPE;
    }

    // Any value, read only to check it: every text unescaped, every number
    // and literal read, every key compared with the others of its object.
    error_code skip(od::value value, int depth)
    {
        od::json_type type;
        if (error_code error = value.type().get(type))
            return error;
        switch (type) {
        case od::json_type::number: {
            double unused = 0;
            return number(value, unused);
        }
        case od::json_type::string: {
            std::string_view unused;
            return text(value, unused);
        }
        case od::json_type::boolean:
            return value.get_bool().error();
        case od::json_type::null:
            return null(value);
        case od::json_type::array: {
            if (depth > kMaxJsonDepth)
                return deeperThanAllowed();
            od::array array;
            if (error_code error = value.get_array().get(array))
                return error;
            return eachElement(array, [this, depth](od::value& inner) { return skip(inner, depth + 1); });
        }
        case od::json_type::object: {
            if (depth > kMaxJsonDepth)
                return deeperThanAllowed();
            od::object object;
            if (error_code error = value.get_object().get(object))
                return error;
            std::vector<std::string> keys;
            for (auto member : object) {
                if (error_code error = member.error())
                    return error;
                od::field&& field = std::move(member).value_unsafe();
                std::string_view name;
                if (error_code error = key(field, name))
                    return error;
                noteKey(keys, name);
                if (error_code error = skip(field.value(), depth + 1))
                    return error;
            }
            return SUCCESS;
        }
        }
        return simdjson::INCORRECT_TYPE;
    }

    // Notes a key of an object that is no birth, or an unknown one of a
    // birth, among the others of its object.
    void noteKey(std::vector<std::string>& keys, std::string_view name)
    {
        for (const std::string& earlier : keys)
            if (earlier == name) {
                if (result_.repeatedKey.empty())
                    result_.repeatedKey = std::string(name);
                return;
            }
        keys.emplace_back(name);
    }

    error_code deeperThanAllowed()
    {
        tooDeep_ = true;
        return simdjson::DEPTH_ERROR;
    }

    // A member's name, unescaped; a name without escapes is taken as it
    // stands in the text.
    static error_code key(od::field& field, std::string_view& name)
    {
        const char* raw = field.key().raw();
        std::size_t length = 0;
        while (raw[length] != '"' && raw[length] != '\\')
            ++length;
        if (raw[length] == '"') {
            name = {raw, length};
            return SUCCESS;
        }
        return field.unescaped_key().get(name);
    }

    static error_code text(od::value& value, std::string_view& out)
    {
        // The text as it stands, quotes included (and the blanks after it).
        // The value is taken either way: one left untaken would be skipped
        // over by counting brackets, which checks nothing after it.
        const std::string_view token = value.raw_json_token();
        const std::size_t end = token.find('"', 1);
        if (end != std::string_view::npos && token.substr(1, end - 1).find('\\') == std::string_view::npos) {
            if (error_code error = value.get_raw_json_string().error())
                return error;
            out = token.substr(1, end - 1);
            return SUCCESS;
        }
        return value.get_string().get(out);
    }

    static error_code number(od::value& value, double& out)
    {
        if (error_code error = value.get_double().get(out))
            return error;
        // A whole number in the text is an integer, which has no negative zero.
        if (out == 0 && std::signbit(out) && integerToken(value.raw_json_token()))
            out = 0;
        return SUCCESS;
    }

    static error_code null(od::value& value)
    {
        bool null = false;
        if (error_code error = value.is_null().get(null))
            return error;
        return null ? SUCCESS : simdjson::INCORRECT_TYPE;  // "nul", "nullx": no literal
    }

    const std::size_t maxBirths_;
    const std::function<void(std::size_t, const GivenBirth&)>& handOver_;
    BodyReading result_;
    GivenBirth given_;
    std::vector<std::string> unknown_;
    bool tooDeep_ = false;
};

}  // namespace

BodyReading readJsonBody(std::string_view body, std::size_t maxBirths,
                         const std::function<void(std::size_t, const GivenBirth&)>& birth)
{
    thread_local ParserRoom room;
    room.padded.resize(body.size() + simdjson::SIMDJSON_PADDING);
    std::memcpy(room.padded.data(), body.data(), body.size());
    std::memset(room.padded.data() + body.size(), 0, simdjson::SIMDJSON_PADDING);
    BodyReading reading;
    od::document doc;
    if (room.parser.iterate(room.padded.data(), body.size(), room.padded.size()).get(doc) == SUCCESS)
        reading = BodyWalker(maxBirths, birth).read(doc);
    if (body.size() > kKeptBytes) {
        room.parser = od::parser();
        room.padded = std::vector<char>();
    }
    return reading;
}

}  // namespace wrenfield::server
