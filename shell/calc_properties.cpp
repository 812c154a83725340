#include "shell/calc_properties.h"

#include <array>
#include <limits>

#include "form/calc_layout.h"
#include "platform/ascii_text.h"
#include "platform/numeric_text.h"

namespace wrenfield::shell {

namespace {

namespace names = form::names;

constexpr std::array<CalcProperty, 10> kProperties = {{
    {"Population", DISPID_Population, names::Combobase},
    {"MaternalHeight", DISPID_MaternalHeight, names::Comboht},
    {"BookingWeight", DISPID_BookingWeight, names::Combowt},
    {"EthnicGroup", DISPID_EthnicGroup, names::Comboeth},
    {"Parity", DISPID_Parity, names::Combopar},
    {"GestationWeeks", DISPID_GestationWeeks, names::Combogw},
    {"GestationDays", DISPID_GestationDays, names::Combogd},
    {"Birthweight", DISPID_Birthweight, names::Combobwt},
    {"Sex", DISPID_Sex, names::Combosex},
    {"Centile", DISPID_Centile, ""},
}};

DropDownList& listOf(form::Calc& calc, const CalcProperty& property)
{
    // Every list of the table is one of the form's own.
    return *calc.list(property.list);
}

}  // namespace

std::span<const CalcProperty> calcProperties() noexcept
{
    return kProperties;
}

const CalcProperty& centileProperty() noexcept
{
    return kProperties.back();
}

const CalcProperty* propertyByDispatchId(DISPID id) noexcept
{
    for (const CalcProperty& property : kProperties)
        if (property.dispatchId == id)
            return &property;
    return nullptr;
}

const CalcProperty* propertyByName(std::string_view name) noexcept
{
    for (const CalcProperty& property : kProperties)
        if (lowerAscii(property.name) == lowerAscii(name))
            return &property;
    return nullptr;
}

std::string propertyText(const form::Calc& calc, const CalcProperty& property)
{
    const DropDownList* list = calc.list(property.list);
    return list ? list->text() : std::string();
}

void pickPropertyText(form::Calc& calc, const CalcProperty& property, std::string_view text)
{
    DropDownList& list = listOf(calc, property);
    if (!list.holds(text))
        raise(ErrorNumber::InvalidPropertyValue,
              "\"" + std::string(text) + "\" is not one of the entries of " + std::string(property.name));
    // What a user's pick does, with the handlers' errors going to the
    // caller, who made the pick.
    list.setText(text);
    list.raiseClick();
}

std::string propertyErrorDescription(const RuntimeError& error)
{
    std::string description(error.description());
    if (!error.context().empty())
        description += ": " + error.context();
    return description;
}

double shownCentile(const form::Calc& calc)
{
    const std::optional<double> value = plainDecimalValue(calc.outputLabel().caption());
    return value ? *value : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace wrenfield::shell
