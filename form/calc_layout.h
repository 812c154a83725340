// The one fixed form of the Calc control: every control with its kind,
// design-time caption, place and size in twips, tab index, visibility,
// colours and alignment. The model builds its controls from this table and a
// renderer lays out its widgets from it; nothing else repeats these values.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "form/controls.h"

namespace wrenfield::form {

// The designed area of the control, in twips.
inline constexpr int kDesignedWidth = 6525;
inline constexpr int kDesignedHeight = 2190;

// The names of the controls, as the form and its hosts refer to them.
namespace names {
inline constexpr std::string_view Combobase = "Combobase";
inline constexpr std::string_view Combobwt = "Combobwt";
inline constexpr std::string_view Combogd = "Combogd";
inline constexpr std::string_view Combogw = "Combogw";
inline constexpr std::string_view Combowt = "Combowt";
inline constexpr std::string_view Comboht = "Comboht";
inline constexpr std::string_view Combopar = "Combopar";
inline constexpr std::string_view Comboeth = "Comboeth";
inline constexpr std::string_view Combosex = "Combosex";
inline constexpr std::string_view Frame1 = "Frame1";
inline constexpr std::string_view OutputLabel = "output_label";
inline constexpr std::string_view Label8 = "Label8";
inline constexpr std::string_view Text1 = "Text1";
inline constexpr std::string_view Label2b = "Label2b";
inline constexpr std::string_view Label1 = "Label1";
inline constexpr std::string_view Label2 = "Label2";
inline constexpr std::string_view Label3 = "Label3";
inline constexpr std::string_view Label4 = "Label4";
inline constexpr std::string_view Label5 = "Label5";
inline constexpr std::string_view Label6 = "Label6";
inline constexpr std::string_view Label7 = "Label7";
inline constexpr std::string_view Label11 = "Label11";
inline constexpr std::string_view Label12 = "Label12";
}  // namespace names

// Every control of the form in the order in which the form stores them
// (23 rows: nine lists, the frame, thirteen labels and the text box).
std::span<const ControlDescription> calcLayout();

// The eight input lists whose Click recomputes the centile, in the order in
// which the control declares their handlers: Comboht, Combowt, Comboeth,
// Combopar, Combogw, Combogd, Combobwt, Combosex.
inline constexpr std::array<std::string_view, 8> kInputLists = {
    names::Comboht, names::Combowt, names::Comboeth, names::Combopar,
    names::Combogw, names::Combogd, names::Combobwt, names::Combosex,
};

// The row of one control, or nullptr.
const ControlDescription* findInCalcLayout(std::string_view name) noexcept;

}  // namespace wrenfield::form
