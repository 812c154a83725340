// The class-object entry points of the library, the same on every platform.
#include "shell/calc_object.h"
#include "shell/export.h"
#include "shell/module.h"
#include "shell/wrenfield515uk.h"

using namespace wrenfield::shell;

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_Calc))
        return CLASS_E_CLASSNOTAVAILABLE;
    return createCalcFactory(riid, ppv);
}

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow(void)
{
    return moduleInUse() ? S_FALSE : S_OK;
}
