// A host of Wrenfield515UK.ocx registered for the current user alone
// (regsvr32 /n /i:user): checks the registration below
// HKEY_CURRENT_USER\Software\Classes and none below HKEY_LOCAL_MACHINE,
// creates the control through the class factory that registration names and
// calls custcentukn late- and early-bound.
//
// The platform's COM reads the user's classes before the machine's
// (HKEY_CLASSES_ROOT merges both); Wine's reads the machine's only. So the
// client follows the user's registration itself, as the platform would:
// ProgID to class, class to library, library to class factory; and it lets
// HKEY_CLASSES_ROOT stand for the user's classes in this process, so that
// the type library is found through its registration too.
//
//   wine per_user_client.exe C:\path\to\Wrenfield515UK.ocx
//
// Prints each failed check and "client: N checks passed, M failed"; the exit
// code is the number of failed checks.
#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>

#include "wrenfield515uk_idl.h"
#include "wrenfield515uk_ids.h"

namespace {

int gPassed = 0;
int gFailed = 0;

void check(bool ok, const char* what)
{
    ++(ok ? gPassed : gFailed);
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
}

std::wstring guidText(REFGUID guid)
{
    wchar_t buffer[40] = {};
    StringFromGUID2(guid, buffer, 40);
    return buffer;
}

// The text of a value ("" when absent) below one of the roots.
std::wstring valueText(HKEY root, const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return L"";
    return buffer;
}

bool keyExists(HKEY root, const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

bool samePath(const std::wstring& a, const std::wstring& b)
{
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// custcentukn for the worked birth (3400 g, 280 days, 64 kg, 163 cm, boy,
// European, no earlier births): 38.2216410, gest written back as 40 weeks.
void callCustcentukn(IDispatch* dispatch, _Calc* calc)
{
    double values[7] = {3400, 280, 64, 163, 1, 1, 0};
    VARIANT args[7];
    for (int i = 0; i < 7; ++i) {
        VariantInit(&args[i]);
        V_VT(&args[i]) = VT_BYREF | VT_R8;
        V_R8REF(&args[i]) = &values[i];
    }
    VARIANT reversed[7];
    for (int i = 0; i < 7; ++i)
        reversed[6 - i] = args[i];
    DISPPARAMS params = {reversed, nullptr, 7, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    HRESULT hr = dispatch->Invoke(0x60030001, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                                  &exception, &argumentError);
    check(hr == S_OK && V_VT(&result) == VT_R8 && std::fabs(V_R8(&result) - 38.2216410) <= 5e-8 && values[1] == 40,
          "Invoke custcentukn: 38.2216410, gest 40 weeks");

    values[1] = 280;
    VariantInit(&result);
    hr = calc->custcentukn(&args[0], &args[1], &args[2], &args[3], &args[4], &args[5], &args[6], &result);
    check(hr == S_OK && V_VT(&result) == VT_R8 && std::fabs(V_R8(&result) - 38.2216410) <= 5e-8 && values[1] == 40,
          "slot custcentukn: 38.2216410, gest 40 weeks");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: per_user_client <path of Wrenfield515UK.ocx>\n");
        return 2;
    }
    const std::wstring path = argv[1];
    HKEY userClasses = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ, &userClasses) != ERROR_SUCCESS)
        return 2;
    const std::wstring clsid = guidText(CLSID_Calc);
    const std::wstring libid = guidText(LIBID_Wrenfield515UK);

    // The registration is the user's, and the machine has none.
    check(samePath(valueText(userClasses, L"CLSID\\" + clsid + L"\\InprocServer32"), path),
          "HKCU\\Software\\Classes\\CLSID\\{Calc}\\InprocServer32 names the library");
    check(valueText(userClasses, L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel") == L"Apartment",
          "ThreadingModel Apartment");
    check(keyExists(userClasses, L"CLSID\\" + clsid + L"\\Control"), "the Control key");
    check(valueText(userClasses, L"Wrenfield515UK.Calc\\CLSID") == clsid, "the ProgID names the class");
    const std::wstring version =
        std::to_wstring(WRENFIELD515UK_TYPELIB_MAJOR) + L"." + std::to_wstring(WRENFIELD515UK_TYPELIB_MINOR);
    check(samePath(valueText(userClasses, L"TypeLib\\" + libid + L"\\" + version + L"\\409\\win64"), path),
          "the type library, win64");
    check(valueText(userClasses, L"Interface\\" + guidText(IID__Calc)) == L"_Calc", "the interface _Calc");
    const struct {
        std::wstring key;
        const char* what;
    } machineKeys[] = {{L"CLSID\\" + clsid, "no class Calc below HKEY_LOCAL_MACHINE"},
                       {L"Wrenfield515UK.Calc", "no ProgID below HKEY_LOCAL_MACHINE"},
                       {L"TypeLib\\" + libid, "no type library below HKEY_LOCAL_MACHINE"},
                       {L"Interface\\" + guidText(IID__Calc), "no interface _Calc below HKEY_LOCAL_MACHINE"}};
    for (const auto& machine : machineKeys)
        check(!keyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + machine.key), machine.what);

    // HKEY_CLASSES_ROOT as the platform sees it for this user.
    check(RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses) == ERROR_SUCCESS,
          "HKEY_CLASSES_ROOT stands for the user's classes");
    if (FAILED(CoInitialize(nullptr)))
        return 2;
    ITypeLib* library = nullptr;
    check(SUCCEEDED(LoadRegTypeLib(LIBID_Wrenfield515UK, WRENFIELD515UK_TYPELIB_MAJOR, WRENFIELD515UK_TYPELIB_MINOR,
                                   0x409, &library)),
          "LoadRegTypeLib finds the user's type library");
    if (library)
        library->Release();

    // ProgID to class, class to library, library to its class factory.
    CLSID fromProgId = {};
    const std::wstring progIdClass = valueText(HKEY_CLASSES_ROOT, L"Wrenfield515UK.Calc\\CLSID");
    check(SUCCEEDED(CLSIDFromString(progIdClass.c_str(), &fromProgId)) && IsEqualCLSID(fromProgId, CLSID_Calc),
          "Wrenfield515UK.Calc is the class Calc");
    const std::wstring server = valueText(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32");
    HMODULE module = LoadLibraryW(server.c_str());
    auto getClassObject = module ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
                                       reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))
                                 : nullptr;
    IClassFactory* factory = nullptr;
    check(getClassObject &&
              SUCCEEDED(getClassObject(fromProgId, IID_IClassFactory, reinterpret_cast<void**>(&factory))),
          "the registered library gives the class factory of Calc");
    IDispatch* dispatch = nullptr;
    _Calc* calc = nullptr;
    if (factory) {
        check(SUCCEEDED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch))) &&
                  dispatch && SUCCEEDED(dispatch->QueryInterface(IID__Calc, reinterpret_cast<void**>(&calc))),
              "the factory creates the control");
        factory->Release();
    }
    if (dispatch && calc)
        callCustcentukn(dispatch, calc);
    if (calc)
        calc->Release();
    if (dispatch)
        dispatch->Release();
    CoUninitialize();
    std::printf("client: %d checks passed, %d failed\n", gPassed, gFailed);
    return gFailed;
}
