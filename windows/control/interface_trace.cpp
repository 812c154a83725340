#include "windows/control/interface_trace.h"

#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>
#include <objsafe.h>

#include <cstdio>

#include "shell/wrenfield515uk.h"

namespace wrenfield::windows {

namespace {

struct KnownInterface {
    const IID* iid;
    const char* name;
};

const KnownInterface kKnownInterfaces[] = {
    {&IID_IUnknown, "IUnknown"},
    {&IID_IDispatch, "IDispatch"},
    {&IID__Calc, "_Calc"},
    {&IID__Calc2, "_Calc2"},
    {&DIID___Calc, "__Calc"},
    {&DIID___Calc2, "__Calc2"},
    {&IID_ISupportErrorInfo, "ISupportErrorInfo"},
    {&IID_IOleObject, "IOleObject"},
    {&IID_IOleWindow, "IOleWindow"},
    {&IID_IOleInPlaceObject, "IOleInPlaceObject"},
    {&IID_IOleInPlaceObjectWindowless, "IOleInPlaceObjectWindowless"},
    {&IID_IOleInPlaceActiveObject, "IOleInPlaceActiveObject"},
    {&IID_IViewObject, "IViewObject"},
    {&IID_IViewObject2, "IViewObject2"},
    {&IID_IViewObjectEx, "IViewObjectEx"},
    {&IID_IPersist, "IPersist"},
    {&IID_IPersistStream, "IPersistStream"},
    {&IID_IPersistStreamInit, "IPersistStreamInit"},
    {&IID_IPersistStorage, "IPersistStorage"},
    {&IID_IPersistPropertyBag, "IPersistPropertyBag"},
    {&IID_IPersistPropertyBag2, "IPersistPropertyBag2"},
    {&IID_IOleControl, "IOleControl"},
    {&IID_IProvideClassInfo, "IProvideClassInfo"},
    {&IID_IProvideClassInfo2, "IProvideClassInfo2"},
    {&IID_IConnectionPointContainer, "IConnectionPointContainer"},
    {&IID_IDataObject, "IDataObject"},
    {&IID_IOleCache, "IOleCache"},
    {&IID_IRunnableObject, "IRunnableObject"},
    {&IID_IQuickActivate, "IQuickActivate"},
    {&IID_IPointerInactive, "IPointerInactive"},
    {&IID_IObjectSafety, "IObjectSafety"},
    {&IID_ISpecifyPropertyPages, "ISpecifyPropertyPages"},
    {&IID_IMarshal, "IMarshal"},
    {&IID_IExternalConnection, "IExternalConnection"},
    {&IID_IStdMarshalInfo, "IStdMarshalInfo"},
    {&IID_IOleLink, "IOleLink"},
};

constexpr wchar_t kTraceVariable[] = L"WRENFIELD515UK_TRACE";
constexpr wchar_t kTraceKey[] = L"Software\\Wrenfield515UK";
constexpr wchar_t kTraceValue[] = L"Trace";

bool askedInEnvironment()
{
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(kTraceVariable, value, 16);
    return length > 0 && length < 16 && lstrcmpW(value, L"0") != 0;
}

bool askedInRegistry(HKEY root)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    return RegGetValueW(root, kTraceKey, kTraceValue, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
        value != 0;
}

}  // namespace

bool interfaceTraceWanted()
{
    static const bool wanted =
        askedInEnvironment() || askedInRegistry(HKEY_CURRENT_USER) || askedInRegistry(HKEY_LOCAL_MACHINE);
    return wanted;
}

void traceQueryInterface(REFIID riid, HRESULT result)
{
    if (!interfaceTraceWanted())
        return;
    char line[160];
    const char* name = nullptr;
    for (const KnownInterface& known : kKnownInterfaces)
        if (IsEqualIID(riid, *known.iid))
            name = known.name;
    const char* answer = result == S_OK ? "S_OK" : result == E_NOINTERFACE ? "E_NOINTERFACE" : "failed";
    if (name) {
        std::snprintf(line, sizeof line, "Wrenfield515UK: QueryInterface %s: %s\n", name, answer);
    } else {
        std::snprintf(line, sizeof line,
                      "Wrenfield515UK: QueryInterface {%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}: %s\n",
                      static_cast<unsigned long>(riid.Data1), riid.Data2, riid.Data3, riid.Data4[0], riid.Data4[1],
                      riid.Data4[2], riid.Data4[3], riid.Data4[4], riid.Data4[5], riid.Data4[6], riid.Data4[7], answer);
    }
    OutputDebugStringA(line);
}

}  // namespace wrenfield::windows
