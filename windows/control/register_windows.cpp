// Registration on the platform: DllRegisterServer writes, and
// DllUnregisterServer removes, the class and ProgID entries
// (registration_entries.h) under HKEY_CLASSES_ROOT, and registers the
// embedded type library, which adds its own TypeLib key and the Interface
// keys of _Calc, _Calc2, __Calc2 and __Calc. The registration of an earlier
// version of the type library (1.0, from a library this one replaced in
// place) goes too: it named the same file, which no longer holds it.
#include <string>

#include "windows/control/library_windows.h"
#include "platform/guid_text.h"
#include "shell/project_description.h"
#include "shell/registration_entries.h"
#include "windows/control/wide_text.h"

using namespace wrenfield::shell;
using wrenfield::windows::utf8Text;
using wrenfield::windows::wideText;

namespace {

HRESULT write(const RegistryEntry& entry)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, wideText(entry.key).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    if (entry.hasValue) {
        const std::wstring name = wideText(entry.name);
        const std::wstring value = wideText(entry.value);
        const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    }
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

// Removes a key with everything below it; one that is not there is no error.
HRESULT removeTree(const std::string& key)
{
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, wideText(key).c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT removeClassEntries()
{
    HRESULT result = S_OK;
    for (const std::string& key : classKeys())
        if (const HRESULT hr = removeTree(key); FAILED(hr) && SUCCEEDED(result))
            result = hr;
    return result;
}

// Whether a version of the type library has its key (the platform's
// UnRegisterTypeLib would otherwise take a later version's place).
bool typeLibraryRegistered(WORD minorVersion)
{
    const std::string key = "TypeLib\\" + wrenfield::guidText(*kLibrary.libid) + "\\" + std::to_string(kLibrary.majorVersion) +
                            "." + std::to_string(minorVersion);
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, wideText(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

HRESULT unregisterTypeLibrary(WORD minorVersion)
{
    if (!typeLibraryRegistered(minorVersion))
        return S_OK;  // nothing to remove
    const HRESULT hr =
        UnRegisterTypeLib(*kLibrary.libid, kLibrary.majorVersion, minorVersion, kLibrary.lcid, SYS_WIN64);
    // A type library that is not registered has nothing to remove.
    return hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED ? S_OK : hr;
}

// Every version of this major version up to the library's own, the earlier
// ones first.
HRESULT unregisterTypeLibraries(WORD upToMinorVersion)
{
    HRESULT result = S_OK;
    for (WORD minor = 0; minor <= upToMinorVersion; ++minor)
        if (const HRESULT hr = unregisterTypeLibrary(minor); FAILED(hr) && SUCCEEDED(result))
            result = hr;
    return result;
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
        for (const RegistryEntry& entry : classEntries(utf8Text(path))) {
            const HRESULT hr = write(entry);
            if (FAILED(hr)) {
                removeClassEntries();  // no half registration
                return hr;
            }
        }
        // An earlier version's registration of the type library, left by a
        // library that this one replaced without unregistering.
        if (kLibrary.minorVersion > 0)
            unregisterTypeLibraries(kLibrary.minorVersion - 1);
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
        const HRESULT library = unregisterTypeLibraries(kLibrary.minorVersion);
        return FAILED(classes) ? classes : library;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
