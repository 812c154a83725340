// Weights and lengths written with their units, as people write them:
// "3.4kg", "3400g", "7lb8oz", "7 lb 8 oz"; "140lb", "10st2lb", "64kg";
// "1.63m", "163cm", "5ft4in", "5'4\"". A bare number is in the field's
// default unit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfield::reading {

enum class Unit : std::uint8_t {
    Grams,
    Kilograms,
    Pounds,
    Ounces,
    Stones,  // mass
    Centimetres,
    Metres,
    Millimetres,
    Feet,
    Inches,  // length
};

enum class Quantity : std::uint8_t { Mass, Length };

Quantity quantityOf(Unit unit);
// The symbol: "g", "kg", "lb", "oz", "st", "cm", "m", "mm", "ft", "in".
std::string_view unitSymbol(Unit unit);
// A symbol or name in any case ("kg", "KG", "lbs", "pounds", "'" for feet).
std::optional<Unit> unitFromText(std::string_view text);

// A quantity read from text, in `target` units, or why it cannot be read.
struct QuantityReading {
    std::optional<double> value;
    std::string error;  // when there is no value
};

// Reads "number unit" or one of the pairs "lb oz", "st lb", "ft in" (the
// second part below one of the first: 16 oz, 14 lb, 12 in); blanks between
// the parts are allowed. A text that is only a number is in `bare` units; a
// number is read with "." as the decimal point, or "," when `decimalComma`.
// Returns no value and no error (an empty error) when the text is not written
// with units at all, so that the caller may read it otherwise.
QuantityReading readQuantity(std::string_view text, Unit target, bool decimalComma);

// `value` in `from` units converted to `to` units (both of one quantity);
// exactly `value` when they are the same.
double convertUnits(double value, Unit from, Unit to);

}  // namespace wrenfield::reading
