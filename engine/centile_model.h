// The customised centile model: the term weight from the mother's weight and
// height, the baby's sex, the ethnic group and parity; its clamp; the
// gestation proportion; the expected weight and its spread; and the
// birthweight's deviation turned into a centile by integrating the normal
// density.
#pragma once

#include <array>
#include <string_view>

#include "engine/coefficient_set.h"
#include "platform/variant.h"

namespace wrenfield::engine {

// The intermediate values of one computation.
struct CentileDetail {
    double termWeight = 0;  // after the clamp to 1500..4500 g
    double weeks = 0;       // the gestation in weeks, as read back from `gest`
    double proportion = 0;  // the gestation proportion P
    double expected = 0;    // expected weight E = P × term weight, grams
    double spread = 0;      // S = E × coefficient of variation, grams
    double z = 0;           // (birthweight − E) / S
    double centile = 0;     // percent, unrounded
};

// Applies the model with one population's set to seven variant arguments.
// Returns the zero-length text when any argument is missing (empty or a
// zero-length text), leaving every argument untouched. Otherwise stores the
// gestation in weeks into `gest` (and, where the set says so, the centred
// height into `ht`) and returns the centile in percent as a double. Throws
// RuntimeError for a non-numeric text, a null, or a floating-point overflow,
// division by zero or invalid operation; write-backs made before that stay.
Variant centile(const CoefficientSet& set, Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex,
                Variant& eth, Variant& par, CentileDetail* detail = nullptr);

// For callers with plain numbers.
// The names of the seven inputs, in the order the population methods take
// them: the parameter names of the control's methods, and the column and
// option names of the batch and the command line.
inline constexpr std::array<std::string_view, 7> kInputNames = {"bwt", "gest", "wt", "ht", "sex", "eth", "par"};

struct CentileInputs {
    double bwt = 0;       // grams
    double gestDays = 0;  // days
    double wt = 0;        // kg
    double ht = 0;        // cm
    double sex = 0;       // 1 male, anything else female
    double eth = 1;       // the population's ethnic-group code
    double par = 0;       // 0, 1, 2, 3; anything else "4 or more"
};

// The same computation as the variant method for the same double inputs,
// with every intermediate value. Throws RuntimeError as the method does.
CentileDetail computeCentile(Population population, const CentileInputs& inputs);

// The integral step alone: 100 × the normal probability below z, by 1001
// midpoint slices. Exposed for the batch kernels that must agree with it.
double centileFromZ(double z);

}  // namespace wrenfield::engine
