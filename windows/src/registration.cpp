#include "windows/src/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "Wrenfield515UK.h"
#include "windows/src/module.h"
#include "windows/src/type_library.h"

namespace wrenfield::windows {
namespace {

// The registration record of the control.
constexpr const wchar_t* kProgId = L"Wrenfield515UK.Calc";
constexpr const wchar_t* kThreadingModel = L"Apartment";
constexpr unsigned kMiscStatus = 0x20191;  // recompose on resize, can't link inside, inside-out,
                                           // activate when visible, set client site first
constexpr unsigned kToolboxBitmapId = 30000;
constexpr const wchar_t* kTypeLibraryVersion = L"1.0";

std::wstring guidText(REFGUID guid)
{
    wchar_t buffer[40] = {};
    StringFromGUID2(guid, buffer, 40);
    return buffer;
}

struct Entry {
    std::wstring key;    // below HKEY_CLASSES_ROOT
    std::wstring name;   // empty: the key's default value
    std::wstring value;
    bool hasValue = true;
};

std::vector<Entry> entries()
{
    const std::wstring clsidKey = L"CLSID\\" + guidText(CLSID_Calc);
    const std::wstring path = thisModulePath();
    const std::wstring miscStatus = std::to_wstring(kMiscStatus);
    return {
        {clsidKey, L"", kProgId},
        {clsidKey + L"\\ProgID", L"", kProgId},
        {clsidKey + L"\\InprocServer32", L"", path},
        {clsidKey + L"\\InprocServer32", L"ThreadingModel", kThreadingModel},
        {clsidKey + L"\\Control", L"", L"", false},
        {clsidKey + L"\\MiscStatus", L"", miscStatus},
        {clsidKey + L"\\MiscStatus\\1", L"", miscStatus},  // the content aspect
        {clsidKey + L"\\ToolboxBitmap32", L"", path + L", " + std::to_wstring(kToolboxBitmapId)},
        {clsidKey + L"\\TypeLib", L"", guidText(LIBID_Wrenfield515UK)},
        {clsidKey + L"\\Version", L"", kTypeLibraryVersion},
        {kProgId, L"", kProgId},
        {std::wstring(kProgId) + L"\\CLSID", L"", guidText(CLSID_Calc)},
    };
}

HRESULT writeEntry(const Entry& entry)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    if (entry.hasValue) {
        const DWORD bytes = static_cast<DWORD>((entry.value.size() + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key, entry.name.empty() ? nullptr : entry.name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(entry.value.c_str()), bytes);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

// Removes a key with everything below it; a key that is not there is no error.
HRESULT deleteTree(const std::wstring& key)
{
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(status);
    return S_OK;
}

HRESULT removeClassEntries()
{
    const HRESULT a = deleteTree(L"CLSID\\" + guidText(CLSID_Calc));
    const HRESULT b = deleteTree(kProgId);
    return FAILED(a) ? a : b;
}

}  // namespace

HRESULT registerServer()
{
    if (thisModulePath().empty())
        return SELFREG_E_CLASS;
    for (const Entry& entry : entries()) {
        const HRESULT hr = writeEntry(entry);
        if (FAILED(hr)) {
            removeClassEntries();
            return hr;
        }
    }
    ITypeLib* library = nullptr;
    HRESULT hr = loadTypeLibrary(&library);
    if (SUCCEEDED(hr)) {
        const std::wstring path = thisModulePath();
        std::wstring mutablePath = path;
        hr = RegisterTypeLib(library, mutablePath.data(), nullptr);
        library->Release();
    }
    if (FAILED(hr)) {
        removeClassEntries();
        return SELFREG_E_TYPELIB;
    }
    return S_OK;
}

HRESULT unregisterServer()
{
    HRESULT result = removeClassEntries();
    ITypeLib* library = nullptr;
    if (SUCCEEDED(loadTypeLibrary(&library))) {
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetLibAttr(&attributes))) {
            const HRESULT hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum,
                                                 attributes->wMinorVerNum, attributes->lcid, attributes->syskind);
            // A type library that is not registered has nothing to remove.
            if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && SUCCEEDED(result))
                result = hr;
            library->ReleaseTLibAttr(attributes);
        }
        library->Release();
    }
    return result;
}

}  // namespace wrenfield::windows
