// The names of the result's fields, written once. JSON (custcent calc --json,
// the HTTP service and its OpenAPI document) uses them as they stand, in
// camelCase; Python's dict keys and DataFrame columns, the added columns of a
// batch file and the C struct's members use the same names in snake_case,
// mapped mechanically by snakeCase().
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfield::reading {

// Each value keeps its number from one version to the next (hosts built
// against an earlier one hold the numbers): a new field is added at the end.
enum class ResultField : std::uint8_t {
    Population,
    Centile,
    Rounded,
    Band,
    BandLabel,
    BandWords,
    TermWeight,
    Weeks,
    Proportion,
    ExpectedWeight,
    Spread,
    Z,
    Flags,
    Inputs,
    CoefficientSetVersion,
    Error,
    Field,
    CentileText,
};

// The name of each field, by its number.
inline constexpr std::array<std::string_view, 18> kResultFieldNames = {
    "population", "centile",    "rounded",    "band",       "bandLabel",
    "bandWords",  "termWeight", "weeks",      "proportion", "expectedWeight",
    "spread",     "z",          "flags",      "inputs",     "coefficientSetVersion",
    "error",      "field",      "centileText"};

// The fields of a computed birth's record, in the order it gives them; a
// birth not computed gives error and field instead.
inline constexpr std::array<ResultField, 16> kRecordFields = {
    ResultField::Population, ResultField::Centile,    ResultField::Rounded,        ResultField::CentileText,
    ResultField::Band,       ResultField::BandLabel,  ResultField::BandWords,      ResultField::TermWeight,
    ResultField::Weeks,      ResultField::Proportion, ResultField::ExpectedWeight, ResultField::Spread,
    ResultField::Z,          ResultField::Flags,      ResultField::Inputs,         ResultField::CoefficientSetVersion};

// A caller's own name for one birth (the HTTP service's "id": a text or a
// whole number), echoed first in its result, whatever the outcome.
inline constexpr std::string_view kBirthIdName = "id";

// The inputs as used, in the result's "inputs".
inline constexpr std::array<std::string_view, 11> kInputEchoNames = {
    "bwt", "gestDays", "gest", "wt", "ht", "sex", "sexName", "eth", "ethName", "par", "parName"};

// A flag's members.
inline constexpr std::array<std::string_view, 2> kFlagFieldNames = {"code", "text"};

constexpr std::string_view fieldName(ResultField field)
{
    return kResultFieldNames[static_cast<std::size_t>(field)];
}

// "expectedWeight" -> "expected_weight".
std::string snakeCase(std::string_view name);

// The fields one value a birth (a column of a file or a frame) can hold, in
// this order: rounded, the centile's text beside its band, band, band label
// and words, the model's values, flags.
inline constexpr std::array<ResultField, 12> kColumnFields = {
    ResultField::Rounded,        ResultField::CentileText, ResultField::Band,  ResultField::BandLabel,
    ResultField::BandWords,      ResultField::TermWeight,  ResultField::Weeks, ResultField::Proportion,
    ResultField::ExpectedWeight, ResultField::Spread,      ResultField::Z,     ResultField::Flags};

// A column field by its snake_case name ("expected_weight"), in any case; the
// short name "expected" of earlier versions is the expected weight.
std::optional<ResultField> columnFieldFromName(std::string_view name);

}  // namespace wrenfield::reading
