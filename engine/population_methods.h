// The five population methods of the control: seven variant arguments by
// reference (`bwt`, `gest`, `wt`, `ht`, `sex`, `eth`, `par`) and a variant
// result, the centile in percent or the zero-length text for a missing input.
#pragma once

#include <array>
#include <string_view>

#include "engine/coefficient_set.h"
#include "platform/variant.h"

namespace wrenfield::engine {

Variant custcentukn(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);
Variant custcentus(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);
Variant custcentswe(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);
Variant custcentnz(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);
Variant custcentau(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth, Variant& par);

using PopulationMethod = Variant (*)(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex, Variant& eth,
                                     Variant& par);

// The method of each population, in slot order.
PopulationMethod populationMethod(Population population);

}  // namespace wrenfield::engine
