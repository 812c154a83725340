#include "form/population_lists.h"

#include <stdexcept>
#include <string>

namespace wrenfield::form {

namespace {

using engine::Population;

// Each list is alphabetical with "Other" last; the Swedish list begins with
// its reference group, "Scandinavian". The codes are those of the population's
// coefficient set.
constexpr std::int16_t kUnitedKingdomOrder[] = {6, 5, 4, 1, 8, 2, 7, 3, 9, 10};
constexpr std::int16_t kUnitedStatesOrder[] = {3, 1, 2, 4};
constexpr std::int16_t kSwedenOrder[] = {1,  2,  3,  4,  5, 22, 6,  8,  9,  24, 10, 12, 11, 15,
                                         16, 26, 18, 17, 7, 14, 25, 19, 20, 21, 23, 13, 27};
constexpr std::int16_t kNewZealandOrder[] = {4, 1, 2, 3, 5, 6, 7};
constexpr std::int16_t kAustraliaOrder[] = {4, 1, 2, 3};

// In slot order of the populations. A text that names no group takes the
// population's "Other" code (United Kingdom 10, Sweden 27, New Zealand 7), or
// the reference group 1 where "Other" is not a catch-all (United States, whose
// "Other" has a term of its own) or does not exist (Australia).
constexpr EthnicList kLists[engine::kPopulationCount] = {
    {Population::UnitedKingdom, kUnitedKingdomOrder, 1, 10},
    {Population::UnitedStates, kUnitedStatesOrder, 1, 1},
    {Population::Sweden, kSwedenOrder, 1, 27},
    {Population::NewZealand, kNewZealandOrder, 1, 7},
    {Population::Australia, kAustraliaOrder, 1, 1},
};

constexpr Population kPopulationListOrder[] = {Population::Australia, Population::NewZealand, Population::Sweden,
                                               Population::UnitedKingdom, Population::UnitedStates};

std::string_view groupName(Population population, std::int16_t code)
{
    const engine::EthnicGroup* group = engine::ethnicGroupByCode(engine::coefficients(population), code);
    if (!group)
        throw std::logic_error("no ethnic group with code " + std::to_string(code));
    return group->name;
}

}  // namespace

const EthnicList& ethnicList(Population population) noexcept
{
    return kLists[static_cast<std::size_t>(population)];
}

std::string_view ethnicEntryName(const EthnicList& list, std::size_t index)
{
    return groupName(list.population, list.entryCodes[index]);
}

std::string_view ethnicDefaultName(const EthnicList& list)
{
    return groupName(list.population, list.defaultCode);
}

std::int16_t ethnicCodeForText(const EthnicList& list, std::string_view text)
{
    const engine::EthnicGroup* group = engine::ethnicGroupByName(engine::coefficients(list.population), text);
    return group ? group->code : list.unmatchedCode;
}

std::span<const Population> populationListOrder() noexcept
{
    return kPopulationListOrder;
}

}  // namespace wrenfield::form
