// The formulas of the term weight and the gestation proportion, written once
// with their evaluation order, for two kinds of arithmetic: checked steps (the
// one-record method, where every step may end the computation with a run-time
// error) and plain steps (the batch kernel, which checks its results once at
// the end and hands anything unusual back to the one-record method). Both give
// bit-identical values for the same inputs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/checked_arithmetic.h"
#include "engine/coefficient_set.h"
#include "platform/variant.h"

namespace wrenfield::engine {

struct CheckedSteps {
    static double add(double a, double b) { return checked::add(a, b); }
    static double sub(double a, double b) { return checked::sub(a, b); }
    static double mul(double a, double b) { return checked::mul(a, b); }
    static double div(double a, double b) { return checked::div(a, b); }
};

struct PlainSteps {
    static double add(double a, double b) { return a + b; }
    static double sub(double a, double b) { return a - b; }
    static double mul(double a, double b) { return a * b; }
    static double div(double a, double b) { return a / b; }
};

// ((cube × w + square) × w + linear) × w, w the centred weight.
template <class Steps> double weightTerm(const CoefficientSet& set, double w)
{
    return Steps::mul(
        Steps::add(Steps::mul(Steps::add(Steps::mul(set.weightCube, w), set.weightSquare), w), set.weightLinear), w);
}

// The height term of the centred height h in each form, in its order.
template <class Steps> double linearHeightTerm(const CoefficientSet& set, double h)
{
    return Steps::mul(set.heightLinear, h);
}

template <class Steps> double linearMinusCubeHeightTerm(const CoefficientSet& set, double h)
{
    double a = Steps::mul(h, set.heightLinear);
    double b = Steps::mul(h, -set.heightCube);
    double c = Steps::mul(h, b);
    double d = Steps::mul(h, c);
    return Steps::sub(a, d);
}

template <class Steps> double nestedCubeHeightTerm(const CoefficientSet& set, double h)
{
    double t1 = Steps::mul(h, h);
    double t2 = Steps::mul(set.heightCube, t1);
    double t3 = Steps::add(t2, set.heightLinear);
    return Steps::mul(t3, h);
}

// The height term in the set's own form.
template <class Steps> double heightTerm(const CoefficientSet& set, double h)
{
    switch (set.heightForm) {
    case HeightForm::Linear:
        return linearHeightTerm<Steps>(set, h);
    case HeightForm::LinearMinusCube:
        return linearMinusCubeHeightTerm<Steps>(set, h);
    case HeightForm::NestedCube:
        return nestedCubeHeightTerm<Steps>(set, h);
    }
    return 0;
}

// Numeric equality of a code argument with a code: a variant converts its
// value (and raises an error for a non-numeric text or a NaN); a plain double
// is compared as it is (the batch kernel never passes a NaN here).
inline bool codeEquals(const Variant& value, std::int16_t code)
{
    return value.equalsCode(code);
}
inline bool codeEquals(double value, std::int16_t code)
{
    return value == code;
}

template <class Code> double sexTerm(const CoefficientSet& set, const Code& sex)
{
    return codeEquals(sex, 1) ? set.sexMale : set.sexOther;
}

// The codes are tried in ascending order; the first that matches gives the term.
template <class Code> double ethnicTerm(const CoefficientSet& set, const Code& eth)
{
    for (const EthnicGroup& group : set.ethnicGroups)
        if (group.term && codeEquals(eth, group.code))
            return *group.term;
    return set.ethnicOther;
}

// Parity 0, 1, 2, 3 in that order; anything else is "4 or more".
template <class Code> double parityTerm(const CoefficientSet& set, const Code& par)
{
    for (std::int16_t code = 0; code < 4; ++code)
        if (codeEquals(par, code))
            return set.parity[static_cast<std::size_t>(code)];
    return set.parityOther;
}

// The term weight before the clamp: weight term, constant, height term, sex
// term, ethnic term, parity term, added in that order.
template <class Steps>
double termWeightSum(const CoefficientSet& set, double weightPart, double heightPart, double sexPart, double ethnicPart,
                     double parityPart)
{
    return Steps::add(
        Steps::add(Steps::add(Steps::add(Steps::add(weightPart, set.constant), heightPart), sexPart), ethnicPart),
        parityPart);
}

inline double clampTermWeight(double tw)
{
    if (tw < kTermWeightLowerClamp)
        tw = kTermWeightLowerClamp;
    if (tw > kTermWeightUpperClamp)
        tw = kTermWeightUpperClamp;
    return tw;
}

// P = ((c3 × g + c2) × g + c1) × g + c0, g the gestation in weeks.
template <class Steps> double gestationProportion(double g)
{
    return Steps::add(
        Steps::mul(Steps::add(Steps::mul(Steps::add(Steps::mul(kProportionC3, g), kProportionC2), g), kProportionC1),
                   g),
        kProportionC0);
}

}  // namespace wrenfield::engine
