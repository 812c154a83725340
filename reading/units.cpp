#include "reading/units.h"

#include <array>

#include "platform/numeric_text.h"
#include "reading/text_match.h"

namespace wrenfield::reading {

namespace {

struct UnitInfo {
    Unit unit;
    Quantity quantity;
    double base;  // in grams for a mass, centimetres for a length (exact by definition)
    std::string_view symbol;
    std::array<std::string_view, 4> aliases;
};

constexpr UnitInfo kUnits[] = {
    {Unit::Grams, Quantity::Mass, 1, "g", {"gram", "grams", "gr", ""}},
    {Unit::Kilograms, Quantity::Mass, 1000, "kg", {"kgs", "kilo", "kilos", "kilograms"}},
    {Unit::Pounds, Quantity::Mass, 453.59237, "lb", {"lbs", "pound", "pounds", ""}},
    {Unit::Ounces, Quantity::Mass, 28.349523125, "oz", {"ounce", "ounces", "", ""}},
    {Unit::Stones, Quantity::Mass, 6350.29318, "st", {"stone", "stones", "", ""}},
    {Unit::Centimetres, Quantity::Length, 1, "cm", {"centimetre", "centimetres", "centimeter", "centimeters"}},
    {Unit::Metres, Quantity::Length, 100, "m", {"metre", "metres", "meter", "meters"}},
    {Unit::Millimetres, Quantity::Length, 0.1, "mm", {"millimetre", "millimetres", "", ""}},
    {Unit::Feet, Quantity::Length, 30.48, "ft", {"'", "foot", "feet", ""}},
    {Unit::Inches, Quantity::Length, 2.54, "in", {"\"", "inch", "inches", ""}},
};

const UnitInfo& info(Unit unit)
{
    return kUnits[static_cast<std::size_t>(unit)];
}

// The pairs written as one quantity, with the limit of the smaller part.
struct Pair {
    Unit major;
    Unit minor;
    double below;
};
constexpr Pair kPairs[] = {
    {Unit::Pounds, Unit::Ounces, 16},
    {Unit::Stones, Unit::Pounds, 14},
    {Unit::Feet, Unit::Inches, 12},
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The power of ten that takes `from` units to `to` units, when there is one
// (kg to g, m to cm): scaling then moves the decimal point in the text, so
// "3.4kg" reads as exactly the number "3400" does.
std::optional<int> decimalShift(Unit from, Unit to)
{
    double ratio = info(from).base / info(to).base;
    double power = 1;
    for (int k = 0; k <= 6; ++k, power *= 10) {
        if (ratio == power)
            return k;
        if (ratio * power == 1)
            return -k;
    }
    return std::nullopt;
}

// One "number unit" part at `pos`, blanks skipped before, between and after.
struct Part {
    std::string number;  // digits with an optional "." (a decimal comma already turned into ".")
    std::optional<Unit> unit;
    std::string unitText;
};

std::optional<Part> readPart(std::string_view text, std::size_t& pos, bool decimalComma)
{
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    std::size_t start = pos;
    std::string number;
    bool point = false, digits = false;
    const char decimal = decimalComma ? ',' : '.';
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (isDigit(c)) {
            number += c;
            digits = true;
        } else if (c == decimal && !point) {
            number += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits || pos == start || number.size() > 40)
        return std::nullopt;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    std::size_t unitStart = pos;
    if (pos < text.size() && (text[pos] == '\'' || text[pos] == '"')) {
        ++pos;
    } else {
        while (pos < text.size() && ((text[pos] >= 'a' && text[pos] <= 'z') || (text[pos] >= 'A' && text[pos] <= 'Z')))
            ++pos;
    }
    Part part;
    if (number.back() == '.')
        number += '0';
    part.number = number;
    part.unitText = std::string(text.substr(unitStart, pos - unitStart));
    part.unit = unitFromText(part.unitText);
    return part;
}

// The part's number in `to` units.
double partValue(const Part& part, Unit to)
{
    if (auto shift = decimalShift(*part.unit, to))
        return numberFromText(part.number + "e" + std::to_string(*shift));
    return convertUnits(numberFromText(part.number), *part.unit, to);
}

}  // namespace

Quantity quantityOf(Unit unit)
{
    return info(unit).quantity;
}

std::string_view unitSymbol(Unit unit)
{
    return info(unit).symbol;
}

std::optional<Unit> unitFromText(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    for (const UnitInfo& u : kUnits) {
        if (equalsIgnoringCase(text, u.symbol))
            return u.unit;
        for (std::string_view alias : u.aliases)
            if (!alias.empty() && equalsIgnoringCase(text, alias))
                return u.unit;
    }
    return std::nullopt;
}

double convertUnits(double value, Unit from, Unit to)
{
    if (from == to)
        return value;
    return value * info(from).base / info(to).base;
}

QuantityReading readQuantity(std::string_view text, Unit target, bool decimalComma)
{
    std::size_t pos = 0;
    std::optional<Part> first = readPart(text, pos, decimalComma);
    if (!first || first->unitText.empty())
        return {};  // not written with a unit
    const Quantity quantity = quantityOf(target);
    auto unitError = [&](const std::string& unitText) {
        std::string symbols;
        for (const UnitInfo& u : kUnits)
            if (u.quantity == quantity)
                symbols += (symbols.empty() ? "" : ", ") + std::string(u.symbol);
        return QuantityReading{std::nullopt,
                               "unknown unit \"" + unitText + "\" in \"" + std::string(text) + "\" (units: " + symbols +
                                   ")"};
    };
    if (!first->unit || quantityOf(*first->unit) != quantity)
        return unitError(first->unitText);
    double value = partValue(*first, target);
    if (pos == text.size())
        return {value, {}};

    std::optional<Part> second = readPart(text, pos, decimalComma);
    if (!second || second->unitText.empty() || pos != text.size())
        return {std::nullopt,
                "cannot read \"" + std::string(text) + "\" as a " + (quantity == Quantity::Mass ? "weight" : "length") +
                    " (e.g. " + (quantity == Quantity::Mass ? "3.4kg, 3400g, 7lb8oz" : "1.63m, 163cm, 5ft4in") + ")"};
    if (!second->unit || quantityOf(*second->unit) != quantity)
        return unitError(second->unitText);
    for (const Pair& pair : kPairs) {
        if (pair.major != *first->unit || pair.minor != *second->unit)
            continue;
        if (!(numberFromText(second->number) < pair.below))
            return {std::nullopt,
                    "\"" + std::string(text) + "\": " + std::string(unitSymbol(pair.minor)) + " must be below " +
                        std::to_string(static_cast<int>(pair.below))};
        return {value + partValue(*second, target), {}};
    }
    return {std::nullopt,
            "\"" + std::string(text) + "\": " + std::string(unitSymbol(*first->unit)) + " and " +
                std::string(unitSymbol(*second->unit)) + " do not go together (lb oz, st lb, ft in)"};
}

}  // namespace wrenfield::reading
