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
    {&DIID___Calc, "__Calc"},
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

}  // namespace

void traceQueryInterface(REFIID riid, HRESULT result)
{
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
                      riid.Data4[2], riid.Data4[3], riid.Data4[4], riid.Data4[5], riid.Data4[6], riid.Data4[7],
                      answer);
    }
    OutputDebugStringA(line);
}

}  // namespace wrenfield::windows
