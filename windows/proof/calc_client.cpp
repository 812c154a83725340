// A compiled client of Wrenfield515UK.ocx, as an integrator would write one:
// it creates "Wrenfield515UK.Calc" through the registry, calls the methods
// late-bound through IDispatch::Invoke with typed references (VT_BYREF|VT_R8,
// VT_BYREF|VT_I2) and early-bound through the slots of `_Calc`, checks the
// results, the write-backs and the errors, and asks DllCanUnloadNow.
//
//   wine calc_client.exe C:\path\to\Wrenfield515UK.ocx             calls and resources
//   wine calc_client.exe C:\path\to\Wrenfield515UK.ocx registered    every registry entry
//   wine calc_client.exe C:\path\to\Wrenfield515UK.ocx unregistered  none left, no creation
//
// Prints one line per check and "client: N checks passed, M failed" at the
// end; the exit code is the number of failed checks (0: all passed).
#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "wrenfield515uk_idl.h"

namespace {

int gPassed = 0;
int gFailed = 0;

void check(bool ok, const char* what, double got = NAN)
{
    if (ok) {
        ++gPassed;
        std::printf("ok   %s\n", what);
    } else {
        ++gFailed;
        if (std::isnan(got))
            std::printf("FAIL %s\n", what);
        else
            std::printf("FAIL %s (got %.10g)\n", what, got);
    }
}

std::string narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

bool within(double a, double b, double tolerance)
{
    return std::fabs(a - b) <= tolerance;
}

// Late binding: DISPPARAMS hold the arguments last one first.
HRESULT invoke(IDispatch* dispatch, DISPID id, VARIANT (&args)[7], VARIANT* result, EXCEPINFO* exception)
{
    VARIANT reversed[7];
    for (int i = 0; i < 7; ++i)
        reversed[6 - i] = args[i];
    DISPPARAMS params = {reversed, nullptr, 7, 0};
    UINT argumentError = 0;
    VariantInit(result);
    std::memset(exception, 0, sizeof *exception);
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, exception,
                            &argumentError);
}

void clearException(EXCEPINFO& exception)
{
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

// ---- Registration -------------------------------------------------------

std::wstring guidText(REFGUID guid)
{
    wchar_t buffer[40] = {};
    StringFromGUID2(guid, buffer, 40);
    return buffer;
}

bool keyExists(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// The text of a value below HKEY_CLASSES_ROOT ("" for the default value);
// "<missing>" when the key or value is absent.
std::wstring valueText(const std::wstring& key, const wchar_t* name = nullptr)
{
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

void checkValue(const std::wstring& key, const wchar_t* name, const std::wstring& expected, bool ignoreCase = false)
{
    const std::wstring got = valueText(key, name);
    const bool same = ignoreCase ? _wcsicmp(got.c_str(), expected.c_str()) == 0 : got == expected;
    std::string what =
        "HKCR\\" + narrow(key) + (name ? " [" + narrow(name) + "]" : std::string()) + " = \"" + narrow(expected) + "\"";
    if (!same)
        what += " (found \"" + narrow(got) + "\")";
    check(same, what.c_str());
}

// The registered type library: its name, and its types in order with their flags.
void typeLibrary(ITypeLib* library)
{
    BSTR name = nullptr;
    check(SUCCEEDED(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr)) && name &&
              std::wcscmp(name, L"Wrenfield515UK") == 0,
          "the type library is named Wrenfield515UK");
    SysFreeString(name);
    const struct {
        const wchar_t* name;
        TYPEKIND kind;
        WORD flags;   // that must be set
        WORD absent;  // that must not be set
    } expected[] = {
        {L"_Calc", TKIND_DISPATCH,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION, 0},
        {L"Calc", TKIND_COCLASS, TYPEFLAG_FCONTROL, TYPEFLAG_FCANCREATE},
        {L"_Calc2", TKIND_DISPATCH,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION, 0},
        {L"__Calc2", TKIND_DISPATCH, TYPEFLAG_FHIDDEN, TYPEFLAG_FDUAL},
        {L"__Calc", TKIND_DISPATCH, TYPEFLAG_FHIDDEN, TYPEFLAG_FDUAL},
    };
    const UINT count = sizeof expected / sizeof expected[0];
    bool inOrder = library->GetTypeInfoCount() == count;
    for (UINT i = 0; inOrder && i < count; ++i) {
        ITypeInfo* info = nullptr;
        TYPEATTR* attributes = nullptr;
        BSTR typeName = nullptr;
        inOrder = SUCCEEDED(library->GetTypeInfo(i, &info)) && SUCCEEDED(info->GetTypeAttr(&attributes)) &&
            SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &typeName, nullptr, nullptr, nullptr));
        WORD flags = inOrder ? attributes->wTypeFlags : 0;
        // A dual interface has two halves; the flags may sit on either.
        HREFTYPE vtableHalf = 0;
        ITypeInfo* half = nullptr;
        TYPEATTR* halfAttributes = nullptr;
        if (inOrder && (flags & TYPEFLAG_FDUAL) && SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtableHalf)) &&
            SUCCEEDED(info->GetRefTypeInfo(vtableHalf, &half)) && SUCCEEDED(half->GetTypeAttr(&halfAttributes))) {
            flags |= halfAttributes->wTypeFlags;
            half->ReleaseTypeAttr(halfAttributes);
        }
        if (half)
            half->Release();
        inOrder = inOrder && std::wcscmp(typeName, expected[i].name) == 0 && attributes->typekind == expected[i].kind &&
            (flags & expected[i].flags) == expected[i].flags && (flags & expected[i].absent) == 0;
        if (!inOrder)
            std::printf("     type %u: %ls kind %d flags 0x%x\n", i, typeName ? typeName : L"?",
                        attributes ? static_cast<int>(attributes->typekind) : -1, flags);
        SysFreeString(typeName);
        if (attributes)
            info->ReleaseTypeAttr(attributes);
        if (info)
            info->Release();
    }
    check(inOrder,
          "types in order: _Calc (hidden, dual, non-extensible, automation), Calc (control, not "
          "creatable), _Calc2 (as _Calc), __Calc2 and __Calc (hidden)");
}

void registered(const std::wstring& path)
{
    const std::wstring clsid = L"CLSID\\" + guidText(CLSID_Calc);
    const std::wstring libid = guidText(LIBID_Wrenfield515UK);
    checkValue(clsid, nullptr, L"Wrenfield515UK.Calc");
    checkValue(clsid + L"\\ProgID", nullptr, L"Wrenfield515UK.Calc");
    checkValue(clsid + L"\\InprocServer32", nullptr, path, true);
    checkValue(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    check(keyExists(clsid + L"\\Control"), "HKCR\\CLSID\\{Calc}\\Control exists");
    checkValue(clsid + L"\\MiscStatus", nullptr, L"0");
    checkValue(clsid + L"\\MiscStatus\\1", nullptr, L"131473");
    checkValue(clsid + L"\\ToolboxBitmap32", nullptr, path + L", 30000", true);
    checkValue(clsid + L"\\TypeLib", nullptr, libid);
    checkValue(clsid + L"\\Version", nullptr, L"1.1");
    checkValue(L"Wrenfield515UK.Calc", nullptr, L"Wrenfield515UK.Calc");
    checkValue(L"Wrenfield515UK.Calc\\CLSID", nullptr, guidText(CLSID_Calc));
    // The type library and its interfaces, as RegisterTypeLib writes them.
    checkValue(L"TypeLib\\" + libid + L"\\1.1", nullptr, L"Wrenfield515UK");
    check(!keyExists(L"TypeLib\\" + libid + L"\\1.0"), "no registration of version 1.0 is left beside it");
    checkValue(L"Interface\\" + guidText(IID__Calc), nullptr, L"_Calc");
    checkValue(L"Interface\\" + guidText(IID__Calc) + L"\\TypeLib", nullptr, libid);
    checkValue(L"Interface\\" + guidText(IID__Calc) + L"\\ProxyStubClsid32", nullptr,
               L"{00020424-0000-0000-C000-000000000046}");
    checkValue(L"Interface\\" + guidText(DIID___Calc), nullptr, L"__Calc");
    checkValue(L"Interface\\" + guidText(IID__Calc2), nullptr, L"_Calc2");
    checkValue(L"Interface\\" + guidText(DIID___Calc2), nullptr, L"__Calc2");
    ITypeLib* library = nullptr;
    // A host built against version 1.0 asks for 1.0 and is given 1.1.
    check(SUCCEEDED(LoadRegTypeLib(LIBID_Wrenfield515UK, 1, 0, 0x409, &library)),
          "LoadRegTypeLib(Wrenfield515UK 1.0) finds the registered type library");
    if (library) {
        typeLibrary(library);
        library->Release();
    }
}

void unregistered()
{
    const std::wstring libid = guidText(LIBID_Wrenfield515UK);
    const std::wstring keys[] = {L"CLSID\\" + guidText(CLSID_Calc),
                                 L"Wrenfield515UK.Calc",
                                 L"TypeLib\\" + libid,
                                 L"Interface\\" + guidText(IID__Calc),
                                 L"Interface\\" + guidText(DIID___Calc),
                                 L"Interface\\" + guidText(IID__Calc2),
                                 L"Interface\\" + guidText(DIID___Calc2)};
    for (const std::wstring& key : keys) {
        const std::string what = "HKCR\\" + narrow(key) + " is gone";
        check(!keyExists(key), what.c_str());
    }
    CLSID clsid;
    check(FAILED(CLSIDFromProgID(L"Wrenfield515UK.Calc", &clsid)), "the ProgID no longer resolves");
    IUnknown* object = nullptr;
    const HRESULT hr =
        CoCreateInstance(CLSID_Calc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object));
    check(hr == REGDB_E_CLASSNOTREG && object == nullptr, "CoCreateInstance(Calc) fails: REGDB_E_CLASSNOTREG", hr);
    if (object)
        object->Release();
}

// ---- Resources ----------------------------------------------------------

std::wstring versionString(const std::vector<BYTE>& info, const wchar_t* name)
{
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"<missing>";
    return std::wstring(value, length && value[length - 1] == 0 ? length - 1 : length);
}

void resources(const std::wstring& path)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::vector<BYTE> info(size);
    check(size != 0 && GetFileVersionInfoW(path.c_str(), 0, size, info.data()), "the library has a version record");
    if (size == 0)
        return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    check(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
              fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
              fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0 && fixed->dwFileType == VFT_DLL,
          "fixed version 1.0.0.0 (file and product), file type DLL");
    WORD* translation = nullptr;
    check(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
              length >= 4 && translation[0] == 0x0409 && translation[1] == 1200,
          "translation: US English, Unicode (040904B0)");
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {{L"FileVersion", L"1.00"},
                   {L"ProductVersion", L"1.00"},
                   {L"InternalName", L"Wrenfield515UK"},
                   {L"ProductName", L"Wrenfield515UK"},
                   {L"OriginalFilename", L"Wrenfield515UK.ocx"},
                   {L"OLESelfRegister", L""}};
    for (const auto& entry : strings) {
        const std::wstring got = versionString(info, entry.name);
        const std::string what = "version string " + narrow(entry.name) + " = \"" + narrow(entry.value) + "\"" +
            (got == entry.value ? "" : " (found \"" + narrow(got) + "\")");
        check(got == entry.value, what.c_str());
    }

    HMODULE data = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC bitmap = data ? FindResourceW(data, MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2) /* RT_BITMAP */) : nullptr;
    const auto* header =
        bitmap ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(data, bitmap))) : nullptr;
    check(header && header->biWidth == 16 && header->biHeight == 15 && header->biBitCount == 4,
          "toolbox bitmap 30000: 16 x 15, 16 colours");
    check(data && FindResourceW(data, MAKEINTRESOURCEW(1), L"TYPELIB"), "type library resource TYPELIB 1");
    if (data)
        FreeLibrary(data);
}

void lateBound(IDispatch* dispatch)
{
    // Dispatch identifiers by name, as the type library declares them.
    const wchar_t* names[] = {L"custcentukn", L"custcentus", L"custcentswe", L"custcentnz", L"custcentau"};
    DISPID ids[5] = {};
    bool allFound = true;
    for (int i = 0; i < 5; ++i) {
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        allFound &= SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &ids[i])) &&
            ids[i] == 0x60030001 + i;
    }
    check(allFound, "GetIDsOfNames: custcentukn..custcentau are 0x60030001..0x60030005");
    LPOLESTR upper = const_cast<LPOLESTR>(L"CUSTCENTUKN");
    DISPID upperId = 0;
    check(SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &upper, 1, LOCALE_USER_DEFAULT, &upperId)) &&
              upperId == 0x60030001,
          "GetIDsOfNames ignores case");
    LPOLESTR unknown = const_cast<LPOLESTR>(L"custcentxx");
    DISPID unknownId = 0;
    check(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &unknownId) == DISP_E_UNKNOWNNAME,
          "GetIDsOfNames: an unknown name is DISP_E_UNKNOWNNAME");

    // Every argument a typed reference to a double of the caller's.
    {
        double values[7] = {3400, 280, 64, 163, 1, 1, 0};
        VARIANT args[7];
        for (int i = 0; i < 7; ++i) {
            V_VT(&args[i]) = VT_BYREF | VT_R8;
            V_R8REF(&args[i]) = &values[i];
        }
        VARIANT result;
        EXCEPINFO exception;
        const HRESULT hr = invoke(dispatch, ids[0], args, &result, &exception);
        check(hr == S_OK && V_VT(&result) == VT_R8 && within(V_R8(&result), 38.2216410, 5e-8),
              "Invoke custcentukn, VT_BYREF|VT_R8: 38.2216410", V_R8(&result));
        check(values[1] == 40.0, "VT_BYREF|VT_R8 gest receives the weeks: 40", values[1]);
        check(values[3] == 163.0, "custcentukn leaves ht alone", values[3]);
    }
    // The gestation a typed reference to an Integer: the weeks arrive rounded.
    {
        double values[7] = {3000, 0, 70, 170, 2, 2, 1};
        short gestDays = 273;
        VARIANT args[7];
        for (int i = 0; i < 7; ++i) {
            V_VT(&args[i]) = VT_BYREF | VT_R8;
            V_R8REF(&args[i]) = &values[i];
        }
        V_VT(&args[1]) = VT_BYREF | VT_I2;
        V_I2REF(&args[1]) = &gestDays;
        VARIANT result;
        EXCEPINFO exception;
        HRESULT hr = invoke(dispatch, ids[0], args, &result, &exception);
        check(hr == S_OK && within(V_R8(&result), 21.2353806, 5e-8),
              "Invoke custcentukn, VT_BYREF|VT_I2 gest: 21.2353806", V_R8(&result));
        check(gestDays == 39, "VT_BYREF|VT_I2 gest receives 39", gestDays);
        gestDays = 277;  // 39.571... weeks
        hr = invoke(dispatch, ids[0], args, &result, &exception);
        check(hr == S_OK && gestDays == 40, "VT_BYREF|VT_I2 gest 277 days receives 40 (rounded)", gestDays);
    }
    // Sweden writes the centred height into an Integer reference; one that
    // does not fit is an overflow, reported, not lost.
    {
        double values[7] = {3500, 280, 65, 0, 1, 1, 0};
        short height = 170;
        VARIANT args[7];
        for (int i = 0; i < 7; ++i) {
            V_VT(&args[i]) = VT_BYREF | VT_R8;
            V_R8REF(&args[i]) = &values[i];
        }
        V_VT(&args[3]) = VT_BYREF | VT_I2;
        V_I2REF(&args[3]) = &height;
        VARIANT result;
        EXCEPINFO exception;
        HRESULT hr = invoke(dispatch, ids[2], args, &result, &exception);
        check(hr == S_OK && within(V_R8(&result), 35.0635, 5e-5), "Invoke custcentswe: 35.0635", V_R8(&result));
        check(height == 3, "VT_BYREF|VT_I2 ht receives the centred height 3", height);
        check(values[1] == 40.0, "custcentswe gest receives 40", values[1]);

        height = -32700;  // centred: -32867, outside an Integer
        values[1] = 280;
        hr = invoke(dispatch, ids[2], args, &result, &exception);
        check(hr == DISP_E_EXCEPTION && exception.scode == static_cast<SCODE>(0x800A0006),
              "an Integer ht that cannot hold the centred height: error 6 (Overflow)", exception.scode);
        clearException(exception);
    }
    // A non-numeric text: error 13, with its description.
    {
        VARIANT args[7];
        const double values[7] = {0, 280, 64, 163, 1, 1, 0};
        for (int i = 0; i < 7; ++i) {
            V_VT(&args[i]) = VT_R8;
            V_R8(&args[i]) = values[i];
        }
        V_VT(&args[0]) = VT_BSTR;
        V_BSTR(&args[0]) = SysAllocString(L"heavy");
        VARIANT result;
        EXCEPINFO exception;
        const HRESULT hr = invoke(dispatch, ids[0], args, &result, &exception);
        check(hr == DISP_E_EXCEPTION && exception.scode == static_cast<SCODE>(0x800A000D),
              "a non-numeric text: DISP_E_EXCEPTION with scode 0x800A000D", exception.scode);
        check(exception.bstrDescription && std::wcscmp(exception.bstrDescription, L"Type mismatch") == 0,
              "its description is \"Type mismatch\"");
        clearException(exception);
        SysFreeString(V_BSTR(&args[0]));
    }
}

// One population's method of the interface, called through its vtable slot.
using CentileSlot = HRESULT (STDMETHODCALLTYPE _Calc::*)(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                                                         VARIANT*, VARIANT*);
const CentileSlot kSlots[5] = {&_Calc::custcentukn, &_Calc::custcentus, &_Calc::custcentswe, &_Calc::custcentnz,
                               &_Calc::custcentau};

HRESULT callSlot(_Calc* calc, int slot, VARIANT (&args)[7], VARIANT* result)
{
    VariantInit(result);
    return (calc->*kSlots[slot])(&args[0], &args[1], &args[2], &args[3], &args[4], &args[5], &args[6], result);
}

void earlyBound(_Calc* calc)
{
    struct Case {
        int slot;
        const char* what;
        double in[7];  // bwt, gest, wt, ht, sex, eth, par
        double expected, tolerance, weeks, height;
    };
    const Case cases[] = {
        {0, "slot custcentukn: 38.2216410", {3400, 280, 64, 163, 1, 1, 0}, 38.2216410, 5e-8, 40, 163},
        {1, "slot custcentus: 36.7994620", {3400, 280, 64, 163, 1, 1, 0}, 36.7994620, 5e-8, 40, 163},
        {2, "slot custcentswe: 35.0635, ht 3", {3500, 280, 65, 170, 1, 1, 0}, 35.0635, 5e-5, 40, 3},
        {3, "slot custcentnz: 40.9032", {3500, 280, 70, 165, 1, 1, 0}, 40.9032, 5e-5, 40, 165},
        {4, "slot custcentau: 33.9737", {3400, 280, 68, 168, 0, 1, 1}, 33.9737, 5e-5, 40, 168},
    };
    for (const Case& c : cases) {
        // Values, not references: the method writes back into the variants.
        VARIANT args[7];
        for (int i = 0; i < 7; ++i) {
            V_VT(&args[i]) = VT_I2;
            V_I2(&args[i]) = static_cast<SHORT>(c.in[i]);
        }
        VARIANT result;
        const HRESULT hr = callSlot(calc, c.slot, args, &result);
        const bool heightOk = c.slot == 2 ? V_VT(&args[3]) == VT_R8 && V_R8(&args[3]) == c.height
                                          : V_VT(&args[3]) == VT_I2 && V_I2(&args[3]) == c.height;
        check(hr == S_OK && V_VT(&result) == VT_R8 && within(V_R8(&result), c.expected, c.tolerance) &&
                  V_VT(&args[1]) == VT_R8 && V_R8(&args[1]) == c.weeks && heightOk,
              c.what, V_R8(&result));
    }
    // An empty argument: the zero-length text, and gest keeps its days.
    {
        VARIANT args[7];
        const double values[7] = {3400, 280, 64, 163, 1, 1, 0};
        for (int i = 0; i < 7; ++i) {
            V_VT(&args[i]) = VT_R8;
            V_R8(&args[i]) = values[i];
        }
        V_VT(&args[6]) = VT_EMPTY;
        VARIANT result;
        const HRESULT hr = callSlot(calc, 0, args, &result);
        check(hr == S_OK && V_VT(&result) == VT_BSTR && SysStringLen(V_BSTR(&result)) == 0 && V_R8(&args[1]) == 280,
              "slot custcentukn with an empty par: zero-length text, gest untouched");
        VariantClear(&result);
    }
    // A non-numeric text: the HRESULT of error 13 and error information.
    {
        VARIANT args[7];
        const double values[7] = {3400, 280, 64, 163, 1, 1, 0};
        for (int i = 0; i < 7; ++i) {
            V_VT(&args[i]) = VT_R8;
            V_R8(&args[i]) = values[i];
        }
        V_VT(&args[2]) = VT_BSTR;
        V_BSTR(&args[2]) = SysAllocString(L"sixty");
        VARIANT result;
        const HRESULT hr = callSlot(calc, 0, args, &result);
        check(hr == static_cast<HRESULT>(0x800A000D), "slot custcentukn with a non-numeric wt: 0x800A000D", hr);
        IErrorInfo* info = nullptr;
        BSTR description = nullptr;
        const bool described = GetErrorInfo(0, &info) == S_OK && info &&
            SUCCEEDED(info->GetDescription(&description)) && description &&
            std::wcscmp(description, L"Type mismatch") == 0;
        check(described, "error information: \"Type mismatch\"");
        SysFreeString(description);
        if (info)
            info->Release();
        VariantClear(&args[2]);
        check(V_VT(&result) == VT_EMPTY, "no result after an error");
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: calc_client <path of Wrenfield515UK.ocx> [registered|unregistered]\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr)))
        return 2;
    const std::wstring path = argv[1];
    const std::wstring mode = argc > 2 ? argv[2] : L"";
    if (mode == L"registered" || mode == L"unregistered") {
        if (mode == L"registered")
            registered(path);
        else
            unregistered();
        CoUninitialize();
        std::printf("client: %d checks passed, %d failed\n", gPassed, gFailed);
        return gFailed;
    }
    resources(path);

    CLSID clsid;
    check(SUCCEEDED(CLSIDFromProgID(L"Wrenfield515UK.Calc", &clsid)) && IsEqualCLSID(clsid, CLSID_Calc),
          "the ProgID Wrenfield515UK.Calc names the class Calc");
    IDispatch* dispatch = nullptr;
    HRESULT hr =
        CoCreateInstance(CLSID_Calc, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    check(SUCCEEDED(hr) && dispatch, "CoCreateInstance(Calc) gives IDispatch", hr);
    if (!dispatch)
        return 1;

    ITypeInfo* typeInfo = nullptr;
    TYPEATTR* attributes = nullptr;
    // The default interface is _Calc2 now, and its table of slots (the
    // vtable half of the dual interface) derives from _Calc's.
    HREFTYPE vtableHalf = 0, base = 0;
    ITypeInfo* vtableInfo = nullptr;
    ITypeInfo* baseInfo = nullptr;
    TYPEATTR* baseAttributes = nullptr;
    check(SUCCEEDED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &typeInfo)) &&
              SUCCEEDED(typeInfo->GetTypeAttr(&attributes)) && IsEqualIID(attributes->guid, IID__Calc2) &&
              SUCCEEDED(typeInfo->GetRefTypeOfImplType(-1, &vtableHalf)) &&
              SUCCEEDED(typeInfo->GetRefTypeInfo(vtableHalf, &vtableInfo)) &&
              SUCCEEDED(vtableInfo->GetRefTypeOfImplType(0, &base)) &&
              SUCCEEDED(vtableInfo->GetRefTypeInfo(base, &baseInfo)) &&
              SUCCEEDED(baseInfo->GetTypeAttr(&baseAttributes)) && IsEqualIID(baseAttributes->guid, IID__Calc),
          "GetTypeInfo describes _Calc2, which derives from _Calc");
    if (baseAttributes)
        baseInfo->ReleaseTypeAttr(baseAttributes);
    if (baseInfo)
        baseInfo->Release();
    if (vtableInfo)
        vtableInfo->Release();
    if (attributes)
        typeInfo->ReleaseTypeAttr(attributes);
    if (typeInfo)
        typeInfo->Release();

    lateBound(dispatch);

    _Calc* calc = nullptr;
    check(SUCCEEDED(dispatch->QueryInterface(IID__Calc, reinterpret_cast<void**>(&calc))) && calc,
          "QueryInterface(_Calc)");
    if (calc) {
        earlyBound(calc);
        calc->Release();
    }

    // The library is the one COM loaded; while an instance lives it stays.
    HMODULE library = GetModuleHandleW(argv[1]);
    if (!library)
        library = LoadLibraryW(argv[1]);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    check(canUnload != nullptr, "the library exports DllCanUnloadNow");
    if (canUnload) {
        check(canUnload() == S_FALSE, "DllCanUnloadNow is S_FALSE while an instance lives");
        dispatch->Release();
        dispatch = nullptr;
        check(canUnload() == S_OK, "DllCanUnloadNow is S_OK once every instance is released");
    }
    if (dispatch)
        dispatch->Release();
    CoUninitialize();

    std::printf("client: %d checks passed, %d failed\n", gPassed, gFailed);
    return gFailed;
}
