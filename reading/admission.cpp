#include "reading/admission.h"

#include <cmath>
#include <vector>

#include "platform/numeric_text.h"

namespace wrenfield::reading {

namespace {

bool isMeasurement(InputField field)
{
    return field == InputField::Bwt || field == InputField::Gest || field == InputField::Wt || field == InputField::Ht;
}

void append(std::string& text, std::string_view separator, std::string_view part)
{
    if (!text.empty())
        text += separator;
    text += part;
}

}  // namespace

std::optional<std::string> valueProblem(InputField field, double value)
{
    if (!std::isfinite(value))
        return "must be a finite number, not " + shortestText(value);
    if (isMeasurement(field) && !(value > 0))
        return "must be a positive number, not " + shortestText(value);
    return std::nullopt;
}

void setProblem(BirthResult& result, Outcome outcome, std::string error, std::string field)
{
    result.outcome = outcome;
    result.inputs = {};
    result.detail = {};
    result.band = Band::Appropriate;
    result.flags.clear();
    result.error = std::move(error);
    result.field = std::move(field);
    result.errorNumber.reset();
}

bool admitBirth(const BirthReading& birth, engine::BatchRecord& record, BirthResult& result)
{
    // Most births give seven values the rules admit: nothing to say about them.
    if (birth.complete()) {
        const engine::CentileInputs inputs = birth.inputs();
        if (valuesAdmissible(inputs)) {
            record.population = *birth.population;
            record.inputs = inputs;
            return true;
        }
    }
    std::string population;  // the population's problem
    std::string missing;     // "bwt, gest"
    std::string problems;    // "sex: ...; eth: ..."
    std::string firstMissing;
    std::string firstProblem;
    if (!birth.population)
        population = "population: " + birth.populationError;
    for (std::size_t c = 0; c < kInputFieldCount; ++c) {
        const auto field = static_cast<InputField>(c);
        const std::string_view name = kInputColumns[c];
        const FieldReading& reading = birth.fields[c];
        std::optional<std::string> problem;
        switch (reading.status) {
        case FieldStatus::Missing:
            if (firstMissing.empty())
                firstMissing = name;
            append(missing, ", ", name);
            continue;
        case FieldStatus::Invalid:
            // A group name can only be judged in a known population.
            if (field == InputField::Eth && !birth.population)
                continue;
            problem = reading.error;
            break;
        case FieldStatus::Value:
            problem = valueProblem(field, reading.value);
            break;
        }
        if (!problem)
            continue;
        if (firstProblem.empty())
            firstProblem = name;
        append(problems, "; ", std::string(name) + ": " + *problem);
    }
    if (population.empty() && missing.empty() && problems.empty()) {
        record.population = *birth.population;
        record.inputs = birth.inputs();
        return true;
    }
    std::string error = population;
    if (!missing.empty())
        append(error, "; ", "missing: " + missing);
    if (!problems.empty())
        append(error, "; ", problems);
    const std::string field = !population.empty() ? std::string("population")
        : !firstMissing.empty()                   ? firstMissing
                                                  : firstProblem;
    const bool onlyMissing = population.empty() && problems.empty();
    setProblem(result, onlyMissing ? Outcome::Missing : Outcome::Refused, std::move(error), field);
    result.population = birth.population.value_or(engine::Population::UnitedKingdom);
    return false;
}

}  // namespace wrenfield::reading
