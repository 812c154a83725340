// `_Calc`, the default interface of the Calc control: its five population
// methods in slot order. A host calls a method by name (late binding) or by
// slot (early binding); the form's own computation calls through this same
// table. (The dispatch identifiers belong to the component's interface
// description, shell/Wrenfield515UK.idl.)
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/centile_model.h"
#include "engine/coefficient_set.h"
#include "form/calc.h"
#include "platform/variant.h"

namespace wrenfield::form {

using CalcMethodPointer = Variant (Calc::*)(Variant& bwt, Variant& gest, Variant& wt, Variant& ht, Variant& sex,
                                            Variant& eth, Variant& par);

struct CalcMethod {
    std::string_view name;  // "custcentukn"
    engine::Population population;
    CalcMethodPointer method;
};

// The seven parameter names of every method, in order; an eighth, unnamed
// out-parameter carries the result.
inline constexpr std::array<std::string_view, 7> kCalcParameterNames = engine::kInputNames;

// The five methods in slot order: custcentukn, custcentus, custcentswe,
// custcentnz, custcentau. The method names are the coefficient sets' own.
std::span<const CalcMethod> calcMethods();

// Exact, case-sensitive name; nullptr when no method has it. (A host that
// looks names up without regard to case folds them itself.)
const CalcMethod* calcMethodByName(std::string_view name) noexcept;
const CalcMethod& calcMethodFor(engine::Population population) noexcept;

// Calls one method on an instance with seven arguments in parameter order.
inline Variant callCalcMethod(Calc& calc, const CalcMethod& method, std::span<Variant, 7> args)
{
    return (calc.*method.method)(args[0], args[1], args[2], args[3], args[4], args[5], args[6]);
}

}  // namespace wrenfield::form
