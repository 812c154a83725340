#include "reading/population_choice.h"

#include <array>

#include "reading/text_match.h"

namespace wrenfield::reading {

namespace {

struct Alias {
    std::string_view alias;
    engine::Population population;
};

// The full names come from the coefficient sets; only the aliases live here.
constexpr std::array<Alias, engine::kPopulationCount> kAliases = {{
    {"uk", engine::Population::UnitedKingdom},
    {"us", engine::Population::UnitedStates},
    {"se", engine::Population::Sweden},
    {"nz", engine::Population::NewZealand},
    {"au", engine::Population::Australia},
}};

}  // namespace

std::optional<engine::Population> populationFromText(std::string_view text)
{
    for (const engine::CoefficientSet& set : engine::allCoefficientSets())
        if (equalsIgnoringCase(text, set.name))
            return set.population;
    for (const Alias& alias : kAliases)
        if (equalsIgnoringCase(text, alias.alias))
            return alias.population;
    return std::nullopt;
}

std::string_view populationAlias(engine::Population population)
{
    for (const Alias& alias : kAliases)
        if (alias.population == population)
            return alias.alias;
    return {};
}

std::string populationChoices()
{
    std::string text;
    for (const Alias& alias : kAliases) {
        if (!text.empty())
            text += ", ";
        text += '"';
        text += engine::coefficients(alias.population).name;
        text += "\" (";
        text += alias.alias;
        text += ')';
    }
    return text;
}

std::string coefficientSetLabel(engine::Population population)
{
    // The number of the sets is the version text up to its suffix.
    const std::string_view version = engine::kCoefficientSetVersion;
    return std::string(engine::coefficients(population).name) + " · coefficient set " +
        std::string(version.substr(0, version.find('_')));
}

}  // namespace wrenfield::reading
