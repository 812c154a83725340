#include "form/calc_layout.h"

namespace wrenfield::form {

namespace {

constexpr Colour kBlack = Colour::rgb(0, 0, 0);
constexpr Colour kLightBlue = Colour::rgb(192, 192, 255);
constexpr Colour kLightRed = Colour::rgb(255, 192, 192);
constexpr Colour kWindow = Colour::systemColour(SystemColour::WindowBackground);
constexpr Colour kWindowText = Colour::systemColour(SystemColour::WindowText);

constexpr ControlDescription list(std::string_view name, int left, int top, int width, int height, int tabIndex,
                                  std::string_view role, bool visible = true)
{
    return {name,       ControlKind::DropDownList, "", left, top, width, height, tabIndex, visible, kBlack,
            kLightBlue, Alignment::Left,           "", "",   role};
}

// A label that names a list: right-aligned, so its text ends next to the list.
constexpr ControlDescription nameLabel(std::string_view name, std::string_view caption, int left, int top, int width,
                                       int height, int tabIndex, std::string_view labelFor)
{
    return {name,    ControlKind::Label, caption, left,     top, width, height, tabIndex, true, kWindowText,
            kWindow, Alignment::Right,   "",      labelFor, ""};
}

constexpr ControlDescription hiddenLabel(std::string_view name, int left, int top, int width, int height, int tabIndex,
                                         std::string_view role)
{
    return {name,    ControlKind::Label, name, left, top, width, height, tabIndex, false, kWindowText,
            kWindow, Alignment::Left,    "",   "",   role};
}

using namespace names;

constexpr ControlDescription kCalcLayout[] = {
    list(Combobase, 6240, 2040, 2175, 315, 12, "population", false),
    list(Combobwt, 4440, 495, 1095, 315, 11, "birthweight, grams"),
    list(Combogd, 5760, 15, 615, 315, 10, "gestation, days beyond the whole weeks"),
    list(Combogw, 4440, 15, 735, 315, 9, "gestation, whole weeks"),
    list(Combowt, 1680, 495, 1095, 315, 8, "mother's booking weight, kg"),
    list(Comboht, 1680, 15, 1095, 315, 7, "mother's height, cm"),
    list(Combopar, 1680, 1455, 1095, 315, 6, "parity at booking"),
    list(Comboeth, 1680, 975, 1455, 315, 5, "mother's ethnic group"),
    list(Combosex, 4440, 975, 1095, 315, 4, "baby's sex"),
    {Frame1, ControlKind::Frame, "", 3960, 1380, 2535, 615, 1, true, kWindowText, kWindow, Alignment::Left, "", "",
     "holds the result"},
    {OutputLabel, ControlKind::Label, "Output", 1780, 240, 495, 255, 3, true, kBlack, kLightRed, Alignment::Centre,
     Frame1, "", "the centile, rounded"},
    {Label8, ControlKind::Label, "Customised centile =", 240, 270, 1575, 255, 2, true, kWindowText, kWindow,
     Alignment::Left, Frame1, OutputLabel, ""},
    {Text1, ControlKind::TextBox, "Text1", 6240, 1080, 2535, 285, 0, false, kWindowText, kWindow, Alignment::Left, "",
     "", "default population name"},
    nameLabel(Label2b, "Days", 5160, 60, 495, 255, 22, Combogd),
    nameLabel(Label1, "Birthweight (g)", 3120, 540, 1215, 255, 21, Combobwt),
    nameLabel(Label2, "Gestation:  Weeks", 2760, 60, 1575, 255, 20, Combogw),
    nameLabel(Label3, "Booking weight (kg)", 0, 540, 1575, 255, 19, Combowt),
    nameLabel(Label4, "Maternal height (cm)", 0, 60, 1575, 255, 18, Comboht),
    nameLabel(Label5, "Sex", 3120, 1020, 1215, 255, 17, Combosex),
    nameLabel(Label6, "Ethnic group", 360, 1020, 1215, 255, 16, Comboeth),
    nameLabel(Label7, "Parity at booking", 360, 1500, 1215, 255, 15, Combopar),
    hiddenLabel(Label11, 600, 2040, 735, 375, 14, "version text"),
    hiddenLabel(Label12, 1800, 2040, 735, 375, 13, "population name"),
};

}  // namespace

std::span<const ControlDescription> calcLayout()
{
    return kCalcLayout;
}

const ControlDescription* findInCalcLayout(std::string_view name) noexcept
{
    for (const ControlDescription& description : kCalcLayout)
        if (description.name == name)
            return &description;
    return nullptr;
}

}  // namespace wrenfield::form
