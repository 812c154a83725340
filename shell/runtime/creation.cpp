// Apartments, the loaded server libraries, and creation by class identifier
// or ProgID.
#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "shell/runtime/wf_com.h"
#include "shell/runtime/wf_registry.h"
#include "platform/guid_text.h"
#include "platform/utf16_text.h"

namespace {

// How often this thread has entered its apartment.
thread_local int apartmentEntries = 0;

// Each server library is loaded once per process and kept until it reports
// that it can be unloaded.
std::mutex librariesMutex;
std::map<std::string, void*> loadedLibraries;

HRESULT libraryFor(const std::string& path, void** handle)
{
    std::lock_guard lock(librariesMutex);
    if (auto it = loadedLibraries.find(path); it != loadedLibraries.end()) {
        *handle = it->second;
        return S_OK;
    }
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h)
        return HRESULT_FROM_WIN32(126);  // the module could not be found or loaded
    loadedLibraries.emplace(path, h);
    *handle = h;
    return S_OK;
}

}  // namespace

extern "C" {

HRESULT CoInitializeEx(LPVOID, DWORD coInit)
{
    if (coInit != COINIT_APARTMENTTHREADED && coInit != COINIT_MULTITHREADED)
        return E_INVALIDARG;
    return apartmentEntries++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize(void)
{
    if (apartmentEntries > 0 && --apartmentEntries == 0)
        CoFreeUnusedLibraries();
}

void CoFreeUnusedLibraries(void)
{
    std::lock_guard lock(librariesMutex);
    for (auto it = loadedLibraries.begin(); it != loadedLibraries.end();) {
        auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(it->second, "DllCanUnloadNow"));
        if (canUnload && canUnload() == S_OK) {
            dlclose(it->second);
            it = loadedLibraries.erase(it);
        } else {
            ++it;
        }
    }
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD clsContext, LPVOID, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (apartmentEntries == 0)
        return CO_E_NOTINITIALIZED;
    if (!(clsContext & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;  // only in-process servers exist here
    try {
        char path[4096];
        const std::string key = "CLSID\\" + wrenfield::guidText(rclsid) + "\\InprocServer32";
        HRESULT hr = WfRegistryQueryString(key.c_str(), nullptr, path, sizeof path);
        if (hr == REGDB_E_KEYMISSING)
            return REGDB_E_CLASSNOTREG;
        if (FAILED(hr))
            return hr;
        if (!*path)
            return REGDB_E_CLASSNOTREG;
        void* handle = nullptr;
        hr = libraryFor(path, &handle);
        if (FAILED(hr))
            return hr;
        auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject"));
        if (!getClassObject)
            return CO_E_ERRORINDLL;
        return getClassObject(rclsid, riid, ppv);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD clsContext, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(rclsid, clsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(outer, riid, ppv);
    factory->Release();
    return hr;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid)
{
    if (!progId || !clsid)
        return E_INVALIDARG;
    try {
        const std::string name = wrenfield::utf8FromUtf16(progId);
        if (name.empty() || name.find_first_of("\\[]\n") != std::string::npos)
            return CO_E_CLASSSTRING;
        char text[64];
        const HRESULT hr = WfRegistryQueryString((name + "\\CLSID").c_str(), nullptr, text, sizeof text);
        if (FAILED(hr))
            return hr == REGDB_E_READREGDB ? hr : CO_E_CLASSSTRING;
        const std::u16string wide = wrenfield::utf16FromUtf8(text);
        return CLSIDFromString(wide.c_str(), clsid) == S_OK ? S_OK : CO_E_CLASSSTRING;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // extern "C"
