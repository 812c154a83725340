// Registration on the platform: DllRegisterServer writes, and
// DllUnregisterServer removes, the class and ProgID entries of the
// registration record under HKEY_CLASSES_ROOT, and registers the embedded
// type library, which adds its own TypeLib key and the Interface keys of
// _Calc and __Calc.
#include <string>
#include <vector>

#include "platform/utf16_text.h"
#include "shell/library_windows.h"
#include "shell/project_description.h"
#include "shell/wrenfield515uk.h"

using namespace wrenfield::shell;

namespace {

std::wstring wide(std::string_view utf8)
{
    const std::u16string units = wrenfield::utf16FromUtf8(utf8);
    return std::wstring(units.begin(), units.end());
}

std::wstring braced(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

struct Entry {
    std::wstring key;  // below HKEY_CLASSES_ROOT
    std::wstring name; // empty: the key's default value
    std::wstring value;
    bool hasValue = true;
};

// The class is registered under the ProgID "<project>.<object>".
std::wstring progId()
{
    return wide(kRegistration.projectName) + L"." + wide(kRegistration.objectName);
}

// The class and its ProgID, from the registration record.
std::vector<Entry> classEntries(const std::wstring& path)
{
    const std::wstring classKey = L"CLSID\\" + braced(CLSID_Calc);
    const std::wstring progId = ::progId();
    const std::wstring libVersion =
        std::to_wstring(kRegistration.typeLibMajor) + L"." + std::to_wstring(kRegistration.typeLibMinor);
    return {
        {classKey, L"", progId},
        {classKey + L"\\InprocServer32", L"", path},
        {classKey + L"\\InprocServer32", L"ThreadingModel", wide(kRegistration.threadingModel)},
        {classKey + L"\\ProgID", L"", progId},
        {classKey + L"\\VERSION", L"", libVersion},
        {classKey + L"\\Control", L"", L"", false},
        // The status flags apply to the content aspect (1).
        {classKey + L"\\MiscStatus", L"", L"0"},
        {classKey + L"\\MiscStatus\\1", L"", std::to_wstring(kRegistration.miscStatus)},
        {classKey + L"\\ToolboxBitmap32", L"", path + L", " + std::to_wstring(kRegistration.toolboxBitmapId)},
        {classKey + L"\\TypeLib", L"", braced(*kLibrary.libid)},
        {progId, L"", progId},
        {progId + L"\\CLSID", L"", braced(CLSID_Calc)},
    };
}

HRESULT write(const Entry& entry)
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
    return HRESULT_FROM_WIN32(status);
}

// Removes a key with everything below it; one that is not there is no error.
HRESULT removeTree(const std::wstring& key)
{
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT removeClassEntries()
{
    const HRESULT a = removeTree(L"CLSID\\" + braced(CLSID_Calc));
    const HRESULT b = removeTree(progId());
    return FAILED(a) ? a : b;
}

HRESULT unregisterTypeLibrary()
{
    const HRESULT hr = UnRegisterTypeLib(*kLibrary.libid, kLibrary.majorVersion, kLibrary.minorVersion,
                                         kLibrary.lcid, SYS_WIN64);
    // A type library that is not registered has nothing to remove.
    return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED ? S_OK : hr;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer(void)
{
    try {
        std::wstring path = libraryPath();
        if (path.empty())
            return SELFREG_E_CLASS;
        // A registration replaces whatever an earlier one left.
        if (const HRESULT hr = removeClassEntries(); FAILED(hr))
            return hr;
        for (const Entry& entry : classEntries(path)) {
            const HRESULT hr = write(entry);
            if (FAILED(hr)) {
                removeClassEntries();  // no half registration
                return hr;
            }
        }
        ITypeLib* library = nullptr;
        HRESULT hr = loadTypeLibrary(&library);
        if (SUCCEEDED(hr)) {
            hr = RegisterTypeLib(library, path.data(), nullptr);
            library->Release();
        }
        if (FAILED(hr)) {
            removeClassEntries();
            return SELFREG_E_TYPELIB;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer(void)
{
    try {
        const HRESULT classes = removeClassEntries();
        const HRESULT library = unregisterTypeLibrary();
        return FAILED(classes) ? classes : library;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
