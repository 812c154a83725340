#include "windows/control/ambient_properties.h"

namespace wrenfield::windows {

namespace {

// One ambient property read through the site's IDispatch; VT_EMPTY when the
// site has none (or no IDispatch at all).
VARIANT ambient(IDispatch* site, DISPID id)
{
    VARIANT value;
    VariantInit(&value);
    if (!site)
        return value;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (FAILED(site->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr)))
        VariantClear(&value);
    return value;
}

std::optional<COLORREF> colourOf(OLE_COLOR value)
{
    COLORREF translated = 0;
    if (SUCCEEDED(OleTranslateColor(value, nullptr, &translated)))
        return translated;
    return std::nullopt;
}

// An OLE_COLOR: an RGB value, or a system colour's index with the top bit
// set, which containers pass as a signed or an unsigned 32-bit number.
std::optional<COLORREF> colourOf(VARIANT& value)
{
    VARIANT number;
    VariantInit(&number);
    std::optional<COLORREF> colour;
    if (SUCCEEDED(VariantChangeType(&number, &value, 0, VT_UI4)))
        colour = colourOf(static_cast<OLE_COLOR>(V_UI4(&number)));
    else if (SUCCEEDED(VariantChangeType(&number, &value, 0, VT_I4)))
        colour = colourOf(static_cast<OLE_COLOR>(static_cast<DWORD>(V_I4(&number))));
    VariantClear(&number);
    return colour;
}

}  // namespace

std::optional<AmbientFont> describeFont(IUnknown* object)
{
    IFont* font = nullptr;
    if (!object || FAILED(object->QueryInterface(IID_IFont, reinterpret_cast<void**>(&font))) || !font)
        return std::nullopt;
    AmbientFont description;
    BSTR name = nullptr;
    CY size{};
    BOOL italic = FALSE, underline = FALSE, strikeout = FALSE;
    SHORT weight = FW_NORMAL, charset = DEFAULT_CHARSET;
    const bool complete = SUCCEEDED(font->get_Name(&name)) && SUCCEEDED(font->get_Size(&size)) &&
        SUCCEEDED(font->get_Weight(&weight)) && SUCCEEDED(font->get_Italic(&italic)) &&
        SUCCEEDED(font->get_Underline(&underline)) && SUCCEEDED(font->get_Strikethrough(&strikeout)) &&
        SUCCEEDED(font->get_Charset(&charset));
    font->Release();
    if (complete && name) {
        description.face = name;
        description.points = double(size.int64) / 10000.0;  // a size is points in units of 1/10000
        description.weight = weight;
        description.italic = italic != FALSE;
        description.underline = underline != FALSE;
        description.strikeout = strikeout != FALSE;
        description.charset = static_cast<BYTE>(charset);
    }
    SysFreeString(name);
    if (!complete || description.face.empty() || description.points <= 0)
        return std::nullopt;
    return description;
}

ControlAppearance readAmbientProperties(IOleClientSite* site, ControlAppearance current, DISPID which)
{
    IDispatch* ambients = nullptr;
    if (site)
        site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambients));
    const bool all = which == DISPID_UNKNOWN;

    if (all || which == DISPID_AMBIENT_USERMODE) {
        // A site without the property runs its form: only a given FALSE designs.
        VARIANT value = ambient(ambients, DISPID_AMBIENT_USERMODE);
        VARIANT flag;
        VariantInit(&flag);
        current.userMode = V_VT(&value) == VT_EMPTY || FAILED(VariantChangeType(&flag, &value, 0, VT_BOOL)) ||
            V_BOOL(&flag) != VARIANT_FALSE;
        VariantClear(&value);
    }
    if (all || which == DISPID_AMBIENT_FONT) {
        VARIANT value = ambient(ambients, DISPID_AMBIENT_FONT);
        IUnknown* font = V_VT(&value) == VT_DISPATCH ? V_DISPATCH(&value)
            : V_VT(&value) == VT_UNKNOWN             ? V_UNKNOWN(&value)
                                                     : nullptr;
        current.font = describeFont(font);
        VariantClear(&value);
    }
    if (all || which == DISPID_AMBIENT_BACKCOLOR) {
        VARIANT value = ambient(ambients, DISPID_AMBIENT_BACKCOLOR);
        current.background = V_VT(&value) == VT_EMPTY ? std::nullopt : colourOf(value);
        VariantClear(&value);
    }
    if (all || which == DISPID_AMBIENT_FORECOLOR) {
        VARIANT value = ambient(ambients, DISPID_AMBIENT_FORECOLOR);
        current.foreground = V_VT(&value) == VT_EMPTY ? std::nullopt : colourOf(value);
        VariantClear(&value);
    }
    if (ambients)
        ambients->Release();
    return current;
}

ControlAppearance ambientPropertiesOf(const QACONTAINER& container)
{
    ControlAppearance appearance;
    appearance.userMode = (container.dwAmbientFlags & QACONTAINER_USERMODE) != 0;
    appearance.background = colourOf(container.colorBack);
    appearance.foreground = colourOf(container.colorFore);
    appearance.font = describeFont(container.pFont);
    return appearance;
}

}  // namespace wrenfield::windows
