// A birth's "id" in POST /v1/centile: the caller's own name for it (a row
// number, a record key), echoed first in that birth's result, or in the
// problem document of a birth posted alone, whatever its outcome. A text of
// at most kMaxBirthIdLength characters, or a whole number that every JSON
// reader reads exactly; null is no id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace wrenfield::server {

inline constexpr std::size_t kMaxBirthIdLength = 128;
inline constexpr std::int64_t kMaxBirthIdNumber = 9'007'199'254'740'991;  // 2^53 - 1

struct BirthId {
    std::string json;   // as it is echoed: "\"row-17\"" or "17"; empty for no id
    std::string error;  // why the id cannot be used ("id: ..."), or empty
};

// From a JSON text's value (valid UTF-8, as a JSON parser gives it).
BirthId birthIdFromText(std::string_view text);
// From a JSON number.
BirthId birthIdFromNumber(double value);
// From any other JSON value ("boolean", "object", "array"): refused.
BirthId birthIdOfType(std::string_view typeName);

// Makes "id": `idJson` the first member of the record (a result or error
// object, never empty) that starts at `recordStart` and ends `out`; no id
// leaves it as it is. Only the record's own bytes move.
void insertId(std::string& out, std::size_t recordStart, std::string_view idJson);

}  // namespace wrenfield::server
