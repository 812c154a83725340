// The body of POST /v1/centile read as it is parsed: simdjson's On-Demand
// parser walks the text once and hands over each birth's fields as it meets
// them, building no document. Every byte is still checked as a strict
// parser checks it (each text unescaped, each number and literal read, the
// structure and what follows it), so a body is read here exactly when it is
// well-formed JSON.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfield::server {

// The fields a birth may give, in this order: its options, then the seven
// inputs in the order the population methods take them.
inline constexpr std::array<std::string_view, 15> kBirthFieldNames = {
    "population", "sga",  "lga", "strict", "exact", "bwtUnit", "wtUnit", "htUnit",
    "bwt",        "gest", "wt",  "ht",     "sex",   "eth",     "par"};
inline constexpr std::size_t kFirstInputField = 8;

// What the body gives one field of a birth.
struct GivenValue {
    enum class Kind : unsigned char { Absent, Null, Number, Text, Boolean, Other };
    Kind kind = Kind::Absent;
    double number = 0;      // Number
    bool boolean = false;   // Boolean
    std::string_view text;  // Text: unescaped; valid while the birth is handed over
    std::string_view type;  // Other: "object" or "array"
};

// One element of the body as a birth.
struct GivenBirth {
    std::array<GivenValue, kBirthFieldNames.size()> values;
    // The caller's own name for the birth ("id", birth_id.h), echoed in its result.
    GivenValue id;
    // When the element is no object: its JSON type ("array", "number",
    // "string", "boolean", "null"); the values are then all absent.
    std::string_view notAnObject;
    // A name the birth gives that is not one of kBirthFieldNames: the first
    // in the order of the names (as std::string compares them).
    std::optional<std::string> unknownField;
};

struct BodyReading {
    enum class Status {
        Read,         // well-formed, every birth handed over
        Malformed,    // not well-formed JSON (nothing said here about where or why)
        TooDeep,      // well-formed up to a value nested deeper than allowed
        RepeatedKey,  // well-formed, but an object gives a key twice
        TooMany,      // well-formed, an array of more births than allowed
    };
    enum class Shape { OneBirth, Array, Neither };

    Status status = Status::Malformed;
    Shape shape = Shape::Neither;
    std::size_t births = 0;   // elements of the array (all of them, also when too many)
    std::string repeatedKey;  // the first key given twice, in the order of the text
};

// Values nest at most this deep: an array, its births, a value of a birth
// that is an object or an array (which the birth then cannot use).
inline constexpr int kMaxJsonDepth = 3;

// Reads a body: a birth (an object) or an array of births. `birth` is
// called for each, in order, with its index, as it is read; when the result
// is anything but Read, what was handed over must be dropped. Births beyond
// `maxBirths` are checked but not handed over.
BodyReading readJsonBody(std::string_view body, std::size_t maxBirths,
                         const std::function<void(std::size_t index, const GivenBirth& birth)>& birth);

}  // namespace wrenfield::server
