// The input vocabulary of one birth, shared by every front end (custcent calc
// and batch, the Python package, the HTTP service, the C API): what a field's
// text or number means.
//
// - Numbers as the population methods read them ("3400", " 64.5 ", "1e3"),
//   in the field's unit; or written with a unit ("3.4kg", "7lb8oz", "1.63m",
//   "5ft4in", "10st2lb").
// - Gestation in days ("277") or completed weeks+days ("39+4").
// - Sex as Male, Female, M, F (any case) or a code.
// - Ethnic group by a name of the population's list or a code; a name in any
//   case, with or without its accents and marks ("Māori", "south-east
//   asian"), or a spelling of group_names.h ("Filipino", "South Korean").
// - Parity as a count or "4 or more".
// - Missing values: the empty text and the markers NA, NaN and "." (any
//   case), or the caller's own list.
// - Population by its name or alias, in any case.
// - "inf", "-inf", "infinity" (any case) are the infinite numbers, which the
//   rules of admission.h then refuse as every door refuses an infinite number.
//
// Every reader returns its result as a value: a number, missing, or an error
// text; none throws for what a user typed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "reading/units.h"

namespace wrenfield::reading {

// The seven inputs of a population method, in the order it takes them.
enum class InputField : std::uint8_t { Bwt, Gest, Wt, Ht, Sex, Eth, Par };
inline constexpr std::size_t kInputFieldCount = 7;
// Their names, as parameters, options and column names: "bwt", "gest", ...
inline constexpr std::array<std::string_view, kInputFieldCount> kInputColumns = engine::kInputNames;
std::string_view inputFieldName(InputField field);
std::optional<InputField> inputFieldFromName(std::string_view name);  // any case

// The default unit of each measurement and how numbers are written.
struct InputDialect {
    Unit bwtUnit = Unit::Grams;
    Unit wtUnit = Unit::Kilograms;
    Unit htUnit = Unit::Centimetres;
    // Texts that mean "no value" (compared without regard to case or the
    // blanks around them); the empty text always does.
    std::vector<std::string> missingMarkers = {"NA", "NaN", "."};
    // Numbers are written with "," as the decimal point ("3,4kg", "64,5").
    bool decimalComma = false;
};

// The unit a user names for a field's bare numbers ("kg", "lb", "m"...), or
// why it cannot be used for that field.
struct UnitChoice {
    std::optional<Unit> unit;
    std::string error;
};
UnitChoice chooseUnit(InputField field, std::string_view text);

enum class FieldStatus : std::uint8_t { Value, Missing, Invalid };

struct FieldReading {
    FieldStatus status = FieldStatus::Missing;
    double value = 0;   // in the method's unit: g, days, kg, cm, or the code
    std::string error;  // for Invalid: what is wrong, without the field's name

    bool ok() const noexcept { return status == FieldStatus::Value; }
};

bool isMissingMarker(std::string_view text, const InputDialect& dialect);

// Whether readField reads every plain number as it stands in every field
// (each bare unit is the method's own and no missing-value marker is a
// number). Then a row of plain decimals can skip the vocabulary.
bool readsPlainNumbersAsTheyStand(const InputDialect& dialect);

// One field of one birth. `set` is the population's (for the group names).
FieldReading readField(InputField field, const engine::CoefficientSet& set, std::string_view text,
                       const InputDialect& dialect = {});
// A field given as a number (an array, a JSON number, a C double): its
// value, or missing for a NaN (R's NA, a database NULL, a masked value).
FieldReading numberField(double value) noexcept;
// The same for a bare number in the dialect's unit of `field`, converted to
// the method's unit exactly as readField converts the number's text (3.4 in
// kilograms is exactly 3400 g).
FieldReading numberField(InputField field, double value, const InputDialect& dialect);
// The same, written into `reading` (a birth read after another reuses the
// room of its fields instead of making them anew).
void readNumberField(FieldReading& reading, InputField field, double value, const InputDialect& dialect);

// The population a user names: a name ("United Kingdom", "new zealand") or an
// alias (uk, us, se, nz, au), in any case; an error text names the choices.
struct PopulationReading {
    std::optional<engine::Population> population;
    std::string error;
};
PopulationReading readPopulation(std::string_view text);
// The population field of a row: a missing value takes the default.
PopulationReading readRowPopulation(std::string_view text, engine::Population defaultPopulation,
                                    const InputDialect& dialect);

// The fields of one birth as texts; a missing population field (or an empty
// one) takes the default population.
struct BirthTexts {
    std::array<std::string_view, kInputFieldCount> inputs;
    std::optional<std::string_view> population;
};

// One birth read field by field, before the rules of admission.h decide
// whether it may go to the model.
struct BirthReading {
    std::optional<engine::Population> population;
    std::string populationError;  // when the population is unknown
    std::array<FieldReading, kInputFieldCount> fields;

    // All seven have values and the population is known.
    bool complete() const noexcept;
    // The seven values (meaningful when complete()).
    engine::CentileInputs inputs() const noexcept;
};

BirthReading readBirthTexts(const BirthTexts& texts, engine::Population defaultPopulation,
                            const InputDialect& dialect = {});

}  // namespace wrenfield::reading
