#include "reading/vocabulary.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "reading/group_names.h"
#include "reading/population_choice.h"
#include "reading/text_match.h"

namespace wrenfield::reading {

namespace {

std::string quote(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

FieldReading value(double number)
{
    return {FieldStatus::Value, number, {}};
}

FieldReading invalid(std::string error)
{
    return {FieldStatus::Invalid, 0, std::move(error)};
}

// A whole number of at most a few digits ("39", not "39.5" or "1e1").
std::optional<int> wholeNumber(std::string_view text)
{
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        result = result * 10 + (c - '0');
    }
    return result;
}

// The number a text holds as the population methods read it, with a decimal
// comma turned into a point first when the dialect says so. Nothing when the
// text is no plain number; an error when it is one too large for a double.
struct PlainNumber {
    std::optional<double> value;
    bool tooLarge = false;
};

PlainNumber plainNumber(std::string_view text, bool decimalComma)
{
    std::string converted;
    if (decimalComma && text.find(',') != std::string_view::npos) {
        if (text.find('.') != std::string_view::npos || text.find(',') != text.rfind(','))
            return {};
        converted = std::string(text);
        converted[converted.find(',')] = '.';
        text = converted;
    }
    if (auto fast = numberFromTextInRange(text))
        return {fast, false};
    try {
        return {numberFromText(text), false};
    } catch (const RuntimeError& error) {
        return {std::nullopt, error.number() == ErrorNumber::Overflow};
    }
}

Unit targetUnit(InputField field)
{
    switch (field) {
    case InputField::Bwt:
        return Unit::Grams;
    case InputField::Wt:
        return Unit::Kilograms;
    default:
        return Unit::Centimetres;
    }
}

Unit bareUnit(InputField field, const InputDialect& dialect)
{
    switch (field) {
    case InputField::Bwt:
        return dialect.bwtUnit;
    case InputField::Wt:
        return dialect.wtUnit;
    default:
        return dialect.htUnit;
    }
}

FieldReading readMeasurement(InputField field, std::string_view text, const InputDialect& dialect)
{
    const Unit target = targetUnit(field);
    const Unit bare = bareUnit(field, dialect);
    PlainNumber plain = plainNumber(text, dialect.decimalComma);
    if (plain.tooLarge)
        return invalid("number too large: " + quote(text));
    std::optional<double> result;
    if (plain.value) {
        result = *plain.value;
        if (bare != target) {
            // Written out with its unit, so that "3.4" in kilograms is exactly 3400 g.
            QuantityReading withUnit =
                readQuantity(std::string(text) + std::string(unitSymbol(bare)), target, dialect.decimalComma);
            result = withUnit.value ? *withUnit.value : convertUnits(*plain.value, bare, target);
        }
    } else {
        QuantityReading quantity = readQuantity(text, target, dialect.decimalComma);
        if (!quantity.error.empty())
            return invalid(quantity.error);
        if (!quantity.value)
            return invalid("not a number: " + quote(text));
        result = quantity.value;
    }
    return value(*result);
}

FieldReading readGestation(std::string_view text, const InputDialect& dialect)
{
    std::size_t plus = text.find('+');
    if (plus == std::string_view::npos || plus == 0) {
        PlainNumber plain = plainNumber(text, dialect.decimalComma);
        if (plain.tooLarge)
            return invalid("number too large: " + quote(text));
        if (!plain.value)
            return invalid("expected days (\"277\") or weeks+days with days 0 to 6 (\"39+4\"), not " + quote(text));
        return value(*plain.value);
    }
    auto weeks = wholeNumber(trimmed(text.substr(0, plus)));
    auto days = wholeNumber(trimmed(text.substr(plus + 1)));
    if (!weeks || !days || *days > 6)
        return invalid("expected days (\"277\") or weeks+days with days 0 to 6 (\"39+4\"), not " + quote(text));
    return value(*weeks * 7.0 + *days);
}

FieldReading readSex(std::string_view text, const InputDialect& dialect)
{
    if (equalsIgnoringCase(text, "Male") || equalsIgnoringCase(text, "M"))
        return value(1);
    if (equalsIgnoringCase(text, "Female") || equalsIgnoringCase(text, "F"))
        return value(0);
    PlainNumber plain = plainNumber(text, dialect.decimalComma);
    if (plain.value)
        return value(*plain.value);
    return invalid("expected Male, Female, M, F or a code (1 male, 0 or 2 female), not " + quote(text));
}

FieldReading readEthnicGroup(const engine::CoefficientSet& set, std::string_view text, const InputDialect& dialect)
{
    if (const engine::EthnicGroup* group = engine::ethnicGroupByName(set, text))
        return value(group->code);
    if (const engine::EthnicGroup* group = ethnicGroupBySpelling(set, text))
        return value(group->code);
    PlainNumber plain = plainNumber(text, dialect.decimalComma);
    if (plain.value)
        return value(*plain.value);
    std::string names;
    for (const engine::EthnicGroup& group : set.ethnicGroups) {
        names += names.empty() ? "" : ", ";
        names += std::to_string(group.code) + " " + std::string(group.name);
    }
    return invalid("not an ethnic group of " + std::string(set.name) + ": " + quote(text) + " (groups: " + names + ")");
}

FieldReading readParity(std::string_view text, const InputDialect& dialect)
{
    if (equalsIgnoringCase(text, "4 or more") || text == "4+")
        return value(4);
    PlainNumber plain = plainNumber(text, dialect.decimalComma);
    if (plain.value)
        return value(*plain.value);
    return invalid("expected a number of previous births (0, 1, 2, ...) or \"4 or more\", not " + quote(text));
}

// A marker can only be a number's text if it holds a digit ("-99"): the
// usual ones (NA, NaN, ".") need no comparison with a number.
bool hasNumericMarker(const InputDialect& dialect)
{
    return std::any_of(dialect.missingMarkers.begin(), dialect.missingMarkers.end(), [](const std::string& marker) {
        return std::any_of(marker.begin(), marker.end(), [](char c) { return c >= '0' && c <= '9'; });
    });
}

// "inf", "-Infinity": an infinite number, whichever field it stands in.
std::optional<double> infinity(std::string_view text)
{
    bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    if (equalsIgnoringCase(text, "inf") || equalsIgnoringCase(text, "infinity"))
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return std::nullopt;
}

}  // namespace

std::string_view inputFieldName(InputField field)
{
    return kInputColumns[static_cast<std::size_t>(field)];
}

std::optional<InputField> inputFieldFromName(std::string_view name)
{
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        if (equalsIgnoringCase(trimmed(name), kInputColumns[c]))
            return static_cast<InputField>(c);
    return std::nullopt;
}

UnitChoice chooseUnit(InputField field, std::string_view text)
{
    std::optional<Unit> unit = unitFromText(trimmed(text));
    if (field != InputField::Bwt && field != InputField::Wt && field != InputField::Ht)
        return {std::nullopt, std::string(inputFieldName(field)) + " has no unit to choose"};
    Quantity quantity = field == InputField::Ht ? Quantity::Length : Quantity::Mass;
    if (!unit || quantityOf(*unit) != quantity)
        return {std::nullopt,
                "not a unit of " + std::string(quantity == Quantity::Mass ? "weight" : "length") + ": " + quote(text) +
                    (quantity == Quantity::Mass ? " (g, kg, lb, oz, st)" : " (cm, m, mm, in, ft)")};
    return {unit, {}};
}

bool isMissingMarker(std::string_view text, const InputDialect& dialect)
{
    text = trimmed(text);
    if (text.empty())
        return true;
    for (const std::string& marker : dialect.missingMarkers)
        if (equalsIgnoringCase(text, trimmed(marker)))
            return true;
    return false;
}

bool readsPlainNumbersAsTheyStand(const InputDialect& dialect)
{
    for (InputField field : {InputField::Bwt, InputField::Wt, InputField::Ht})
        if (bareUnit(field, dialect) != targetUnit(field))
            return false;
    return !hasNumericMarker(dialect);
}

FieldReading readField(InputField field, const engine::CoefficientSet& set, std::string_view text,
                       const InputDialect& dialect)
{
    // The common case first: a plain number in the method's own unit.
    if (auto number = numberFromTextInRange(text)) {
        bool sameUnit = (field != InputField::Bwt && field != InputField::Wt && field != InputField::Ht) ||
            bareUnit(field, dialect) == targetUnit(field);
        if (sameUnit && !(hasNumericMarker(dialect) && isMissingMarker(text, dialect)))
            return value(*number);
    }
    if (isMissingMarker(text, dialect))
        return {};
    std::string_view core = trimmed(text);
    if (auto infinite = infinity(core))
        return value(*infinite);
    switch (field) {
    case InputField::Bwt:
    case InputField::Wt:
    case InputField::Ht:
        return readMeasurement(field, core, dialect);
    case InputField::Gest:
        return readGestation(core, dialect);
    case InputField::Sex:
        return readSex(core, dialect);
    case InputField::Eth:
        return readEthnicGroup(set, core, dialect);
    case InputField::Par:
        return readParity(core, dialect);
    }
    return invalid("unknown field");
}

FieldReading numberField(double number) noexcept
{
    if (std::isnan(number))
        return {};
    FieldReading reading;
    reading.status = FieldStatus::Value;
    reading.value = number;
    return reading;
}

namespace {

// Whether a bare number of `field` is its value as it stands: no unit to
// convert it from.
bool numberAsItStands(InputField field, double number, const InputDialect& dialect)
{
    return std::isnan(number) || !std::isfinite(number) ||
        (field != InputField::Bwt && field != InputField::Wt && field != InputField::Ht) ||
        bareUnit(field, dialect) == targetUnit(field);
}

}  // namespace

FieldReading numberField(InputField field, double number, const InputDialect& dialect)
{
    if (numberAsItStands(field, number, dialect))
        return numberField(number);
    InputDialect pointDialect = dialect;
    pointDialect.decimalComma = false;
    return readMeasurement(field, shortestText(number), pointDialect);
}

void readNumberField(FieldReading& reading, InputField field, double number, const InputDialect& dialect)
{
    if (!numberAsItStands(field, number, dialect)) {
        reading = numberField(field, number, dialect);
        return;
    }
    reading.status = std::isnan(number) ? FieldStatus::Missing : FieldStatus::Value;
    reading.value = std::isnan(number) ? 0 : number;
    reading.error.clear();
}

PopulationReading readPopulation(std::string_view text)
{
    if (auto population = populationFromText(trimmed(text)))
        return {population, {}};
    return {std::nullopt, "unknown population " + quote(text) + "; choose " + populationChoices()};
}

PopulationReading readRowPopulation(std::string_view text, engine::Population defaultPopulation,
                                    const InputDialect& dialect)
{
    if (isMissingMarker(text, dialect))
        return {defaultPopulation, {}};
    return readPopulation(text);
}

bool BirthReading::complete() const noexcept
{
    if (!population)
        return false;
    for (const FieldReading& field : fields)
        if (!field.ok())
            return false;
    return true;
}

engine::CentileInputs BirthReading::inputs() const noexcept
{
    return {fields[0].value, fields[1].value, fields[2].value, fields[3].value,
            fields[4].value, fields[5].value, fields[6].value};
}

BirthReading readBirthTexts(const BirthTexts& texts, engine::Population defaultPopulation, const InputDialect& dialect)
{
    BirthReading birth;
    birth.population = defaultPopulation;
    if (texts.population) {
        PopulationReading named = readRowPopulation(*texts.population, defaultPopulation, dialect);
        birth.population = named.population;
        birth.populationError = named.error;
    }
    // Group names are read in the row's own population (the default's when unknown).
    const engine::CoefficientSet& set = engine::coefficients(birth.population.value_or(defaultPopulation));
    for (std::size_t c = 0; c < kInputFieldCount; ++c)
        birth.fields[c] = readField(static_cast<InputField>(c), set, texts.inputs[c], dialect);
    return birth;
}

}  // namespace wrenfield::reading
