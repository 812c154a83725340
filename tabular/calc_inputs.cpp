#include "tabular/calc_inputs.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "tabular/population_choice.h"
#include "tabular/text_match.h"
#include "engine/population_methods.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "platform/variant.h"

namespace wrenfield::tabular {

namespace {

std::string quote(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

double number(std::string_view text)
{
    try {
        return numberFromText(text);
    } catch (const RuntimeError& error) {
        if (error.number() == ErrorNumber::Overflow)
            throw ValueError("number too large: " + quote(text));
        throw ValueError("not a number: " + quote(text));
    }
}

// A whole number of at most a few digits ("39", not "39.5" or "1e1").
std::optional<int> wholeNumber(std::string_view text)
{
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

engine::Population parsePopulation(std::string_view text)
{
    if (auto population = populationFromText(text))
        return *population;
    throw ValueError("unknown population " + quote(text) + "; choose " + populationChoices());
}

double parseMeasurement(std::string_view text)
{
    double value = number(text);
    if (!(value > 0))
        throw ValueError("must be a positive number: " + quote(text));
    return value;
}

double parseGestationDays(std::string_view text)
{
    std::size_t plus = text.find('+');
    if (plus == std::string_view::npos || plus == 0)
        return parseMeasurement(text);
    auto weeks = wholeNumber(text.substr(0, plus));
    auto days = wholeNumber(text.substr(plus + 1));
    if (!weeks || !days || *days > 6)
        throw ValueError("expected days (\"277\") or weeks+days with days 0 to 6 (\"39+4\"), not " + quote(text));
    if (*weeks == 0 && *days == 0)
        throw ValueError("must be a positive gestation: " + quote(text));
    return *weeks * 7.0 + *days;
}

std::int16_t parseSex(std::string_view text)
{
    if (equalsIgnoringCase(text, "Male") || text == "1")
        return 1;
    if (equalsIgnoringCase(text, "Female") || text == "0" || text == "2")
        return 0;
    throw ValueError("expected Male, Female or a code (1 male, 0 or 2 female), not " + quote(text));
}

std::int16_t parseEthnicGroup(const engine::CoefficientSet& set, std::string_view text)
{
    if (const engine::EthnicGroup* group = engine::ethnicGroupByName(set, text))
        return group->code;
    for (const engine::EthnicGroup& group : set.ethnicGroups)
        if (equalsIgnoringCase(group.name, text))
            return group.code;
    if (auto code = wholeNumber(text))
        if (const engine::EthnicGroup* group = engine::ethnicGroupByCode(set, static_cast<std::int16_t>(*code)))
            return group->code;
    std::string names;
    for (const engine::EthnicGroup& group : set.ethnicGroups) {
        names += names.empty() ? "" : ", ";
        names += std::to_string(group.code) + " " + std::string(group.name);
    }
    throw ValueError("not an ethnic group of " + std::string(set.name) + ": " + quote(text) + " (groups: " +
                     names + ")");
}

std::int16_t parseParity(std::string_view text)
{
    if (equalsIgnoringCase(text, "4 or more"))
        return 4;
    auto count = wholeNumber(text);
    if (!count)
        throw ValueError("expected a number of previous births (0, 1, 2, ...) or \"4 or more\", not " + quote(text));
    return static_cast<std::int16_t>(std::min(*count, 4));
}

CalcResult calculate(const CalcInputs& inputs)
{
    // The method is called the way the calculator form calls it: by reference
    // to doubles for the readings and to 16-bit integers for the codes.
    double bwt = inputs.bwt, gest = inputs.gestDays, wt = inputs.wt, ht = inputs.ht;
    std::int16_t sex = inputs.sex, eth = inputs.eth, par = inputs.par;
    Variant bwtArg = Variant::refTo(bwt), gestArg = Variant::refTo(gest), wtArg = Variant::refTo(wt);
    Variant htArg = Variant::refTo(ht), sexArg = Variant::refTo(sex), ethArg = Variant::refTo(eth);
    Variant parArg = Variant::refTo(par);
    Variant result =
        engine::populationMethod(inputs.population)(bwtArg, gestArg, wtArg, htArg, sexArg, ethArg, parArg);

    engine::CentileDetail detail = engine::computeCentile(
        inputs.population, {inputs.bwt, inputs.gestDays, inputs.wt, inputs.ht, static_cast<double>(inputs.sex),
                            static_cast<double>(inputs.eth), static_cast<double>(inputs.par)});
    if (!result.isDouble() || result.number() != detail.centile)
        throw std::logic_error("the population method and the detailed computation disagree (" +
                               result.describe() + " against " + shortestText(detail.centile) + ")");
    return {inputs.population, result.number(), detail};
}

std::string roundedCentileText(double centile)
{
    return wholeNumberText(std::floor(centile + 0.5));
}

std::string calcText(const CalcResult& result)
{
    std::string text = "Population: " + std::string(engine::coefficients(result.population).name) + "\n";
    text += "Customised centile = " + roundedCentileText(result.centile) + "\n";
    text += "Unrounded centile: " + shortestText(result.centile) + "\n";
    return text;
}

std::string calcJson(const CalcResult& result)
{
    const engine::CentileDetail& d = result.detail;
    // Population names are plain letters and blanks: nothing to escape.
    std::string json = "{\"population\": \"" + std::string(engine::coefficients(result.population).name) + "\"";
    auto field = [&json](std::string_view name, const std::string& value) {
        json += ", \"";
        json += name;
        json += "\": ";
        json += value;
    };
    field("centile", shortestText(result.centile));
    field("rounded", roundedCentileText(result.centile));
    field("termWeight", shortestText(d.termWeight));
    field("weeks", shortestText(d.weeks));
    field("proportion", shortestText(d.proportion));
    field("expectedWeight", shortestText(d.expected));
    field("S", shortestText(d.spread));
    field("z", shortestText(d.z));
    json += "}\n";
    return json;
}

}  // namespace wrenfield::tabular
