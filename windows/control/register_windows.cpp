// Registration on the platform: DllRegisterServer writes, and
// DllUnregisterServer removes, the class and ProgID entries
// (registration_entries.h) under HKEY_CLASSES_ROOT, and registers the
// embedded type library, which adds its own TypeLib key and the Interface
// keys of _Calc, _Calc2, __Calc2 and __Calc. The registration of an earlier
// version of the type library (1.0, from a library this one replaced in
// place) goes too: it named the same file, which no longer holds it.
// DllInstall with "user" (regsvr32 /n /i:user) does the same for the
// calling user alone, below HKEY_CURRENT_USER\Software\Classes, writing
// the type library's entries from the same table (the platform's
// registration of a type library for one user is not available everywhere).
#include <algorithm>
#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

#include "windows/control/library_windows.h"
#include "platform/guid_text.h"
#include "shell/project_description.h"
#include "shell/registration_entries.h"
#include "windows/control/wide_text.h"

using namespace wrenfield::shell;
using wrenfield::windows::utf8Text;
using wrenfield::windows::wideText;

namespace {

HRESULT write(HKEY root, const RegistryEntry& entry)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(root, wideText(entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                  nullptr, &key, nullptr);
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
HRESULT removeTree(HKEY root, const std::string& key)
{
    const LONG status = RegDeleteTreeW(root, wideText(key).c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

HRESULT removeKeys(HKEY root, const std::vector<std::string>& keys)
{
    HRESULT result = S_OK;
    for (const std::string& key : keys)
        if (const HRESULT hr = removeTree(root, key); FAILED(hr) && SUCCEEDED(result))
            result = hr;
    return result;
}

HRESULT removeClassEntries()
{
    return removeKeys(HKEY_CLASSES_ROOT, classKeys());
}

// Whether a version of the type library has its key (the platform's
// UnRegisterTypeLib would otherwise take a later version's place).
bool typeLibraryRegistered(WORD minorVersion)
{
    const std::string key = "TypeLib\\" + wrenfield::guidText(*kLibrary.libid) + "\\" +
        std::to_string(kLibrary.majorVersion) + "." + std::to_string(minorVersion);
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

// The calling user's own classes, HKEY_CURRENT_USER\Software\Classes.
class UserClasses {
public:
    UserClasses()
    {
        status_ = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~UserClasses()
    {
        if (key_)
            RegCloseKey(key_);
    }
    UserClasses(const UserClasses&) = delete;
    UserClasses& operator=(const UserClasses&) = delete;

    HRESULT status() const { return HRESULT_FROM_WIN32(status_); }
    HKEY key() const { return key_; }

private:
    HKEY key_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
};

std::vector<std::string> userKeys()
{
    std::vector<std::string> keys = classKeys();
    for (std::string& key : typeLibraryKeys())
        keys.push_back(std::move(key));
    return keys;
}

// The class, its ProgID and the type library for this user alone; whatever
// an earlier registration for this user left is replaced.
HRESULT registerForUser()
{
    const std::wstring path = libraryPath();
    if (path.empty())
        return SELFREG_E_CLASS;
    const UserClasses classes;
    if (FAILED(classes.status()))
        return classes.status();
    if (const HRESULT hr = removeKeys(classes.key(), userKeys()); FAILED(hr))
        return hr;
    std::vector<RegistryEntry> entries = classEntries(utf8Text(path));
    for (RegistryEntry& entry : typeLibraryEntries(utf8Text(path), sizeof(void*) == 8))
        entries.push_back(std::move(entry));
    for (const RegistryEntry& entry : entries) {
        if (const HRESULT hr = write(classes.key(), entry); FAILED(hr)) {
            removeKeys(classes.key(), userKeys());  // no half registration
            return hr;
        }
    }
    return S_OK;
}

HRESULT unregisterForUser()
{
    const UserClasses classes;
    if (FAILED(classes.status()))
        return classes.status();
    const HRESULT hr = removeKeys(classes.key(), userKeys());
    // The type library's own key goes too once no version of it is left
    // (the call fails, and changes nothing, while one is).
    const std::string versionKey = typeLibraryKeys().front();
    RegDeleteKeyW(classes.key(), wideText(versionKey.substr(0, versionKey.rfind('\\'))).c_str());
    return hr;
}

// What regsvr32 /i passes: "user" for this user alone, nothing (or
// "machine") for every user, in any case and with blanks around it.
enum class Scope { Machine, User, Unknown };

Scope scopeOf(const wchar_t* commandLine)
{
    std::wstring_view text = commandLine ? commandLine : L"";
    while (!text.empty() && std::iswspace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && std::iswspace(text.back()))
        text.remove_suffix(1);
    const auto is = [&](std::wstring_view word) {
        return text.size() == word.size() &&
            std::equal(text.begin(), text.end(), word.begin(),
                       [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
    };
    if (text.empty() || is(L"machine"))
        return Scope::Machine;
    return is(L"user") ? Scope::User : Scope::Unknown;
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
            const HRESULT hr = write(HKEY_CLASSES_ROOT, entry);
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

// regsvr32 /i[:user] (with /n: without DllRegisterServer) installs, and with
// /u uninstalls, for every user or for the calling user alone.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, PCWSTR commandLine)
{
    try {
        switch (scopeOf(commandLine)) {
        case Scope::Machine:
            return install ? DllRegisterServer() : DllUnregisterServer();
        case Scope::User:
            return install ? registerForUser() : unregisterForUser();
        case Scope::Unknown:
            break;
        }
        return E_INVALIDARG;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
