// The properties of the Calc control's interface _Calc2, in slot order: the
// text of each input list of the form, as the list shows it, and the
// centile the form shows. What a property means is the form's own: reading
// one reads the list's text; writing one is a user's pick of that entry (the
// list's text, then its Click, so the form computes again; the population
// list refills the ethnic groups first). The dispatch identifiers belong to
// the interface description (wrenfield515uk_ids.h).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "form/calc.h"
#include "shell/wrenfield515uk.h"

namespace wrenfield::shell {

struct CalcProperty {
    std::string_view name;  // "Birthweight", as the interface description names it
    DISPID dispatchId;
    std::string_view list;  // the form's list it reads and picks; empty for Centile
    bool writable() const noexcept { return !list.empty(); }
};

// Population, MaternalHeight, BookingWeight, EthnicGroup, Parity,
// GestationWeeks, GestationDays, Birthweight, Sex, then the read-only Centile.
std::span<const CalcProperty> calcProperties() noexcept;
const CalcProperty& centileProperty() noexcept;

const CalcProperty* propertyByDispatchId(DISPID id) noexcept;
// Without regard to (ASCII) case, as dispatch looks names up.
const CalcProperty* propertyByName(std::string_view name) noexcept;

// The text of the property's list (the zero-length text while nothing is
// selected).
std::string propertyText(const form::Calc& calc, const CalcProperty& property);

// Picks `text` in the property's list as a user would: the list's text, then
// its Click. A text the list does not hold throws RuntimeError 380 (Invalid
// property value) naming the property and the text, and changes nothing; an
// error of the Click's handlers passes to the caller as well.
void pickPropertyText(form::Calc& calc, const CalcProperty& property, std::string_view text);

// What the caller of a failed pick is told: the error's description with the
// property and the text ("Invalid property value: \"3501\" is not one of the
// entries of Birthweight").
std::string propertyErrorDescription(const RuntimeError& error);

// The centile the form shows, as a number: the whole number of output_label's
// caption. NaN while the caption is no number (before start-up has computed,
// which a created control never shows).
double shownCentile(const form::Calc& calc);

}  // namespace wrenfield::shell
