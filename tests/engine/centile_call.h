// Test helpers: calling a population method with plain numbers.
#pragma once

#include <array>

#include "engine/centile_model.h"
#include "engine/population_methods.h"

namespace wrenfield::engine::testing {

// bwt, gest, wt, ht, sex, eth, par
using Inputs = std::array<double, 7>;

inline Variant callWithDoubles(Population population, const Inputs& in)
{
    Variant bwt(in[0]), gest(in[1]), wt(in[2]), ht(in[3]), sex(in[4]), eth(in[5]), par(in[6]);
    return populationMethod(population)(bwt, gest, wt, ht, sex, eth, par);
}

inline CentileDetail detailOf(Population population, const Inputs& in)
{
    return computeCentile(population, {in[0], in[1], in[2], in[3], in[4], in[5], in[6]});
}

}  // namespace wrenfield::engine::testing
