#include "form/calc_interface.h"

namespace wrenfield::form {

namespace {

using engine::Population;

constexpr std::array<CalcMethodPointer, engine::kPopulationCount> kSlots = {
    &Calc::custcentukn, &Calc::custcentus, &Calc::custcentswe, &Calc::custcentnz, &Calc::custcentau,
};

}  // namespace

std::span<const CalcMethod> calcMethods()
{
    // Slot i is the population the coefficient sets list i-th; its name is
    // the set's own method name.
    static const std::array<CalcMethod, engine::kPopulationCount> table = [] {
        std::array<CalcMethod, engine::kPopulationCount> methods{};
        for (std::size_t slot = 0; slot < methods.size(); ++slot) {
            const engine::CoefficientSet& set = engine::allCoefficientSets()[slot];
            methods[slot] = {set.methodName, set.population, kSlots[slot]};
        }
        return methods;
    }();
    return table;
}

const CalcMethod* calcMethodByName(std::string_view name) noexcept
{
    for (const CalcMethod& method : calcMethods())
        if (method.name == name)
            return &method;
    return nullptr;
}

const CalcMethod& calcMethodFor(Population population) noexcept
{
    return calcMethods()[static_cast<std::size_t>(population)];
}

}  // namespace wrenfield::form
