#include "form_code_proof.h"

#include <ocidl.h>
#include <olectl.h>

#include <cwchar>
#include <string>

#include "form/calc_layout.h"
#include "proof_support.h"

namespace names = wrenfield::form::names;

DWORD connectSink(IUnknown* control, IDispatch* sink, const IID& source)
{
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    if (SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
        container->FindConnectionPoint(source, &point) == S_OK) {
        if (point->Advise(sink, &cookie) != S_OK)
            cookie = 0;
        point->Release();
    }
    if (container)
        container->Release();
    return cookie;
}

void disconnectSink(IUnknown* control, DWORD cookie, const IID& source)
{
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
        container->FindConnectionPoint(source, &point) == S_OK) {
        point->Unadvise(cookie);
        point->Release();
    }
    if (container)
        container->Release();
}

namespace {

DISPID idOf(IDispatch* dispatch, const wchar_t* name)
{
    LPOLESTR text = const_cast<LPOLESTR>(name);
    DISPID id = DISPID_UNKNOWN;
    dispatch->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// A property read, as a script reads one: by name, method or property.
VARIANT get(IDispatch* dispatch, const wchar_t* name)
{
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    dispatch->Invoke(idOf(dispatch, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                     &result, nullptr, nullptr);
    return result;
}

std::wstring getText(IDispatch* dispatch, const wchar_t* name)
{
    VARIANT value = get(dispatch, name);
    std::wstring text = V_VT(&value) == VT_BSTR && V_BSTR(&value) ? V_BSTR(&value) : L"<not a text>";
    VariantClear(&value);
    return text;
}

double getCentile(IDispatch* dispatch)
{
    VARIANT value = get(dispatch, L"Centile");
    const double centile = V_VT(&value) == VT_R8 ? V_R8(&value) : -1;
    VariantClear(&value);
    return centile;
}

// A property write, as a script assigns one (a text or a number).
HRESULT put(IDispatch* dispatch, const wchar_t* name, VARIANT value, EXCEPINFO* exception)
{
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&value, &named, 1, 1};
    if (exception)
        *exception = {};
    return dispatch->Invoke(idOf(dispatch, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                            exception, nullptr);
}

VARIANT textValue(const wchar_t* text)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    return value;
}

VARIANT numberValue(int number)
{
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    return value;
}

}  // namespace

void proveProperties(IUnknown* control, HWND controlWindow, wrenfield::form::Calc& model, const EventSink& events,
                     HWND form, OleContainer* site)
{
    IDispatch* dispatch = nullptr;
    control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    HWND result = childOf(controlWindow, names::OutputLabel);

    // Every property, as the form's lists hold it now.
    struct Property {
        const wchar_t* name;
        std::string_view list;
    };
    const Property properties[] = {
        {L"Population", names::Combobase},  {L"MaternalHeight", names::Comboht}, {L"BookingWeight", names::Combowt},
        {L"EthnicGroup", names::Comboeth},  {L"Parity", names::Combopar},        {L"GestationWeeks", names::Combogw},
        {L"GestationDays", names::Combogd}, {L"Birthweight", names::Combobwt},   {L"Sex", names::Combosex},
    };
    bool allRead = true;
    for (const Property& property : properties)
        allRead = allRead && getText(dispatch, property.name) == wide(model.list(property.list)->text());
    check(allRead && getCentile(dispatch) == std::stod(model.outputLabel().caption()),
          "form code reads every property late-bound: the lists' texts and Centile " + model.outputLabel().caption());

    // Each write is the user's pick of that entry: the form shows the
    // model's result for the same pick, one Recomputed, and a
    // CentileChanged when the number is new. Numbers are written as numbers.
    struct Write {
        const wchar_t* name;
        std::string_view list;
        const char* text;
        bool asNumber;
    };
    const Write writes[] = {
        {L"MaternalHeight", names::Comboht, "158", true},
        {L"BookingWeight", names::Combowt, "72", false},
        {L"Sex", names::Combosex, "Male", false},
        {L"GestationWeeks", names::Combogw, "38", true},
        {L"GestationDays", names::Combogd, "3", true},
        {L"Parity", names::Combopar, "4 or more", false},
        {L"EthnicGroup", names::Comboeth, "Pakistani", false},
        {L"Birthweight", names::Combobwt, "2950", true},
        {L"Population", names::Combobase, "New Zealand", false},
        {L"EthnicGroup", names::Comboeth, "Maori", false},
    };
    for (const Write& write : writes) {
        const int recomputedBefore = events.recomputed;
        const int changedBefore = events.changed;
        const std::string before = model.outputLabel().caption();
        VARIANT value = write.asNumber ? numberValue(std::stoi(write.text)) : textValue(wide(write.text).c_str());
        const HRESULT hr = put(dispatch, write.name, value, nullptr);
        VariantClear(&value);
        model.selectAsUser(write.list, write.text);
        const std::string after = model.outputLabel().caption();
        const bool shown = pumpUntil([&] { return windowText(result) == wide(after); }, 3000, form, site);
        check(hr == S_OK && getText(dispatch, write.name) == wide(write.text) && shown &&
                  getCentile(dispatch) == std::stod(after) && events.recomputed == recomputedBefore + 1 &&
                  events.changed == changedBefore + (after != before ? 1 : 0) &&
                  events.lastRecomputed == std::stod(after),
              narrow(write.name) + " = " +
                  (write.asNumber ? std::string(write.text) : "\"" + std::string(write.text) + "\"") +
                  ": the form shows " + after + ", one Recomputed" +
                  (after != before ? " and one CentileChanged" : ""));
    }
    check(getText(dispatch, L"EthnicGroup") == L"Maori" && model.comboeth().entryCount() == 7,
          "Population \"New Zealand\" refilled the ethnic groups with its own");

    // A text the list does not hold: error 380 in EXCEPINFO, nothing changes.
    const int recomputedBefore = events.recomputed;
    const std::wstring shownBefore = windowText(result);
    EXCEPINFO exception{};
    VARIANT refused = textValue(L"Over 6000");
    const HRESULT hr = put(dispatch, L"Birthweight", refused, &exception);
    VariantClear(&refused);
    const bool described = exception.bstrDescription && std::wcsstr(exception.bstrDescription, L"Birthweight") &&
        std::wcsstr(exception.bstrDescription, L"Over 6000");
    check(hr == DISP_E_EXCEPTION && exception.scode == static_cast<SCODE>(0x800A017C) && described &&
              getText(dispatch, L"Birthweight") == L"2950" && windowText(result) == shownBefore &&
              events.recomputed == recomputedBefore,
          "Birthweight = \"Over 6000\": error 380, \"" +
              narrow(exception.bstrDescription ? exception.bstrDescription : L"") + "\", and nothing changes");
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    VARIANT centile = numberValue(50);
    check(FAILED(put(dispatch, L"Centile", centile, nullptr)), "Centile cannot be written");

    // A container that freezes the events (while it loads a form, say) hears
    // none until it thaws them; the form computes all the same.
    IOleControl* oleControl = nullptr;
    control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&oleControl));
    const int heardBefore = events.recomputed + events.changed;
    oleControl->FreezeEvents(TRUE);
    VARIANT weight = textValue(L"3100");
    put(dispatch, L"Birthweight", weight, nullptr);
    VariantClear(&weight);
    model.selectAsUser(names::Combobwt, "3100");
    const bool quiet =
        events.recomputed + events.changed == heardBefore && windowText(result) == wide(model.outputLabel().caption());
    oleControl->FreezeEvents(FALSE);
    weight = textValue(L"3150");
    put(dispatch, L"Birthweight", weight, nullptr);
    VariantClear(&weight);
    model.selectAsUser(names::Combobwt, "3150");
    check(quiet && events.recomputed > 0 && events.lastRecomputed == std::stod(model.outputLabel().caption()),
          "FreezeEvents(TRUE): no event while frozen, the form computes; thawed, the events again");
    oleControl->Release();
    dispatch->Release();
}
