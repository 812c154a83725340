#include "tabular/calc_inputs.h"

#include <cmath>

#include "engine/checked_arithmetic.h"
#include "engine/population_methods.h"
#include "engine/reading.h"
#include "platform/numeric_text.h"
#include "platform/runtime_error.h"
#include "platform/variant.h"
#include "tabular/vocabulary.h"

namespace wrenfield::tabular {

engine::Population parsePopulation(std::string_view text)
{
    PopulationReading reading = readPopulation(text);
    if (!reading.population)
        throw ValueError(reading.error);
    return *reading.population;
}

double parseField(InputField field, const engine::CoefficientSet& set, std::string_view text)
{
    InputDialect dialect;
    dialect.positiveMeasurements = true;
    FieldReading reading = readField(field, set, text, dialect);
    if (reading.status == FieldStatus::Missing)
        throw ValueError("no value given");
    if (reading.status == FieldStatus::Invalid)
        throw ValueError(reading.error);
    return reading.value;
}

double parseMeasurement(std::string_view text)
{
    double value = 0;
    try {
        value = numberFromText(text);
    } catch (const RuntimeError& error) {
        if (error.number() == ErrorNumber::Overflow)
            throw ValueError("number too large: \"" + std::string(text) + "\"");
        throw ValueError("not a number: \"" + std::string(text) + "\"");
    }
    if (!(value > 0))
        throw ValueError("must be a positive number: \"" + std::string(text) + "\"");
    return value;
}

double parseGestationDays(std::string_view text)
{
    return parseField(InputField::Gest, engine::coefficients(engine::Population::UnitedKingdom), text);
}

double parseSex(std::string_view text)
{
    return parseField(InputField::Sex, engine::coefficients(engine::Population::UnitedKingdom), text);
}

double parseEthnicGroup(const engine::CoefficientSet& set, std::string_view text)
{
    return parseField(InputField::Eth, set, text);
}

double parseParity(std::string_view text)
{
    return parseField(InputField::Par, engine::coefficients(engine::Population::UnitedKingdom), text);
}

CalcResult calculate(const CalcInputs& inputs, const engine::BandThresholds& thresholds)
{
    // The method is called the way the calculator form calls it: by
    // reference to the caller's variables.
    double bwt = inputs.bwt, gest = inputs.gestDays, wt = inputs.wt, ht = inputs.ht;
    double sex = inputs.sex, eth = inputs.eth, par = inputs.par;
    Variant bwtArg = Variant::refTo(bwt), gestArg = Variant::refTo(gest), wtArg = Variant::refTo(wt);
    Variant htArg = Variant::refTo(ht), sexArg = Variant::refTo(sex), ethArg = Variant::refTo(eth);
    Variant parArg = Variant::refTo(par);
    Variant result =
        engine::populationMethod(inputs.population)(bwtArg, gestArg, wtArg, htArg, sexArg, ethArg, parArg);

    engine::Reading reading = engine::readBirth(
        inputs.population, {inputs.bwt, inputs.gestDays, inputs.wt, inputs.ht, inputs.sex, inputs.eth, inputs.par},
        thresholds);
    if (!result.isDouble() || result.number() != reading.centile())
        throw std::logic_error("the population method and the detailed computation disagree (" +
                               result.describe() + " against " + shortestText(reading.centile()) + ")");
    return {inputs.population, result.number(), reading.detail, inputs, thresholds, reading.band,
            std::move(reading.flags)};
}

std::string roundedCentileText(double centile)
{
    return wholeNumberText(engine::checked::roundHalfUp(centile));
}

std::string jsonString(std::string_view text)
{
    std::string json = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (u < 0x20) {
            static const char* hex = "0123456789abcdef";
            json += "\\u00";
            json += hex[u >> 4];
            json += hex[u & 15];
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string calcText(const CalcResult& result)
{
    const engine::CoefficientSet& set = engine::coefficients(result.population);
    const CalcInputs& in = result.inputs;
    std::string text = "Population: " + std::string(set.name) + "\n";
    text += "Birthweight: " + measurementText(in.bwt) + " g\n";
    text += "Gestation: " + gestationText(in.gestDays) + "\n";
    text += "Booking weight: " + measurementText(in.wt) + " kg\n";
    text += "Height: " + measurementText(in.ht) + " cm\n";
    text += "Sex: " + sexText(in.sex) + "\n";
    text += "Ethnic group: " + ethnicGroupText(set, in.eth) + "\n";
    text += "Parity: " + parityText(in.par) + "\n";
    text += "Customised centile = " + roundedCentileText(result.centile) + "\n";
    text += "Unrounded centile: " + shortestText(result.centile) + "\n";
    text += "Band: " + engine::bandWords(result.band, result.thresholds) + "\n";
    text += "Expected weight: " + measurementText(result.detail.expected) + " g at " +
            measurementText(result.detail.weeks) + " weeks\n";
    if (result.flags.empty())
        text += "Flags: none\n";
    for (const engine::Flag& flag : result.flags)
        text += "Flag: " + flag.text + "\n";
    return text;
}

std::string calcJson(const CalcResult& result)
{
    const engine::CentileDetail& d = result.detail;
    const engine::CoefficientSet& set = engine::coefficients(result.population);
    const CalcInputs& in = result.inputs;
    std::string json = "{\"population\": " + jsonString(set.name);
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
    field("band", jsonString(engine::bandCode(result.band)));
    field("bandLabel", jsonString(engine::bandLabel(result.band, result.thresholds)));
    field("bandWords", jsonString(engine::bandWords(result.band, result.thresholds)));
    std::string inputs = "{\"bwt\": " + shortestText(in.bwt) + ", \"gestDays\": " + shortestText(in.gestDays) +
                         ", \"gest\": " + jsonString(gestationText(in.gestDays)) + ", \"wt\": " + shortestText(in.wt) +
                         ", \"ht\": " + shortestText(in.ht) + ", \"sex\": " + shortestText(in.sex) +
                         ", \"sexName\": " + jsonString(sexText(in.sex)) + ", \"eth\": " + shortestText(in.eth) +
                         ", \"ethName\": " + jsonString(ethnicGroupText(set, in.eth)) + ", \"par\": " +
                         shortestText(in.par) + ", \"parName\": " + jsonString(parityText(in.par)) + "}";
    field("inputs", inputs);
    std::string flags = "[";
    for (const engine::Flag& flag : result.flags) {
        if (flags.size() > 1)
            flags += ", ";
        flags += "{\"code\": " + jsonString(flag.code) + ", \"text\": " + jsonString(flag.text) + "}";
    }
    field("flags", flags + "]");
    field("coefficientSetVersion", jsonString(engine::kCoefficientSetVersion));
    json += "}\n";
    return json;
}

}  // namespace wrenfield::tabular
