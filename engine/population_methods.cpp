#include "engine/population_methods.h"

#include "engine/centile_model.h"

namespace wrenfield::engine {

namespace {
template <Population P>
Variant apply(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par)
{
    return centile(coefficients(P), bwt, gest, wt, ht, sex, eth, par);
}
}  // namespace

Variant custcentukn(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par)
{
    return apply<Population::UnitedKingdom>(bwt, gest, wt, ht, sex, eth, par);
}

Variant custcentus(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par)
{
    return apply<Population::UnitedStates>(bwt, gest, wt, ht, sex, eth, par);
}

Variant custcentswe(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par)
{
    return apply<Population::Sweden>(bwt, gest, wt, ht, sex, eth, par);
}

Variant custcentnz(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par)
{
    return apply<Population::NewZealand>(bwt, gest, wt, ht, sex, eth, par);
}

Variant custcentau(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par)
{
    return apply<Population::Australia>(bwt, gest, wt, ht, sex, eth, par);
}

PopulationMethod populationMethod(Population population)
{
    static constexpr std::array<PopulationMethod, kPopulationCount> methods = {custcentukn, custcentus, custcentswe,
                                                                               custcentnz, custcentau};
    return methods[static_cast<std::size_t>(population)];
}

}  // namespace wrenfield::engine
