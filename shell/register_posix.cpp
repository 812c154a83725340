// Registration on this project's runtime: DllRegisterServer writes, and
// DllUnregisterServer removes, the class, ProgID, interface and type library
// entries of the registration record in the runtime's registry.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "platform/com/wf_registry.h"
#include "platform/utf16_text.h"
#include "shell/export.h"
#include "shell/project_description.h"
#include "shell/version_record.h"

using namespace wrenfield::shell;

namespace {

std::string braced(const GUID& guid)
{
    OLECHAR text[39];
    StringFromGUID2(guid, text, 39);
    return wrenfield::utf8FromUtf16({text, 38});
}

// Where this library was loaded from, as an absolute path.
bool libraryPath(std::string& path)
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&braced), &info) || !info.dli_fname)
        return false;
    char absolute[PATH_MAX];
    if (!realpath(info.dli_fname, absolute))
        return false;
    path = absolute;
    return true;
}

std::string versionText(std::uint16_t major, std::uint16_t minor)
{
    return std::to_string(major) + "." + std::to_string(minor);
}

// The interfaces of the library that the registry names.
const TypeDescription* interfaces[] = {&kLibrary.types[0], &kLibrary.types[2]};

// Sets one value; keeps the first failure.
struct Writer {
    WfRegistryUpdate* update;
    HRESULT status = S_OK;

    void set(const std::string& key, const char* name, const std::string& value)
    {
        if (SUCCEEDED(status))
            status = WfRegistrySetString(update, key.c_str(), name, value.c_str());
    }
    void key(const std::string& key)
    {
        if (SUCCEEDED(status))
            status = WfRegistryCreateKey(update, key.c_str());
    }
};

HRESULT writeRegistration(WfRegistryUpdate* update, const std::string& path)
{
    const std::string clsid = braced(CLSID_Calc);
    const std::string libid = braced(*kLibrary.libid);
    const std::string progId(kRegistration.progId);
    const std::string libVersion = versionText(kLibrary.majorVersion, kLibrary.minorVersion);
    const std::string classKey = "CLSID\\" + clsid;
    Writer w{update};

    // The class: its server, threading model, ProgID, control flag, status
    // flags for the content aspect, toolbox picture and type library.
    w.set(classKey, nullptr, progId);
    w.set(classKey + "\\InprocServer32", nullptr, path);
    w.set(classKey + "\\InprocServer32", "ThreadingModel", std::string(kRegistration.threadingModel));
    w.set(classKey + "\\ProgID", nullptr, progId);
    w.set(classKey + "\\VERSION", nullptr, libVersion);
    w.key(classKey + "\\Control");
    w.set(classKey + "\\MiscStatus", nullptr, "0");
    w.set(classKey + "\\MiscStatus\\1", nullptr, std::to_string(kRegistration.miscStatus));
    w.set(classKey + "\\ToolboxBitmap32", nullptr, path + ", " + std::to_string(kRegistration.toolboxBitmapId));
    w.set(classKey + "\\TypeLib", nullptr, libid);

    w.set(progId, nullptr, progId);
    w.set(progId + "\\CLSID", nullptr, clsid);

    for (const TypeDescription* type : interfaces) {
        const std::string key = "Interface\\" + braced(*type->guid);
        w.set(key, nullptr, std::string(type->name));
        w.set(key + "\\ProxyStubClsid", nullptr, braced(CLSID_PSOAInterface));
        w.set(key + "\\ProxyStubClsid32", nullptr, braced(CLSID_PSOAInterface));
        w.set(key + "\\TypeLib", nullptr, libid);
        w.set(key + "\\TypeLib", "Version", libVersion);
    }

    // The type library is part of the library file itself.
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "%x", kLibrary.lcid);
    const std::string libKey = "TypeLib\\" + libid + "\\" + libVersion;
    w.set(libKey, nullptr, std::string(kLibrary.helpString));
    w.set(libKey + "\\FLAGS", nullptr, "0");
    w.set(libKey + "\\HELPDIR", nullptr, std::string(kRegistration.helpDirectory));
    w.set(libKey + "\\" + lcid + "\\" + (sizeof(void*) == 8 ? "win64" : "win32"), nullptr, path);
    return w.status;
}

void removeRegistration(WfRegistryUpdate* update)
{
    const std::string libid = braced(*kLibrary.libid);
    WfRegistryDeleteTree(update, ("CLSID\\" + braced(CLSID_Calc)).c_str());
    WfRegistryDeleteTree(update, std::string(kRegistration.progId).c_str());
    for (const TypeDescription* type : interfaces)
        WfRegistryDeleteTree(update, ("Interface\\" + braced(*type->guid)).c_str());
    WfRegistryDeleteTree(update,
                         ("TypeLib\\" + libid + "\\" + versionText(kLibrary.majorVersion, kLibrary.minorVersion)).c_str());
    // Containers left empty by this library go too.
    WfRegistryDeleteKeyIfEmpty(update, ("TypeLib\\" + libid).c_str());
    for (const char* root : {"CLSID", "Interface", "TypeLib"})
        WfRegistryDeleteKeyIfEmpty(update, root);
}

}  // namespace

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer(void)
{
    try {
        std::string path;
        if (!libraryPath(path))
            return SELFREG_E_CLASS;
        WfRegistryUpdate* update = nullptr;
        HRESULT hr = WfRegistryBeginUpdate(&update);
        if (FAILED(hr))
            return hr;
        // A registration replaces whatever an earlier one left.
        removeRegistration(update);
        hr = writeRegistration(update, path);
        if (FAILED(hr)) {
            WfRegistryAbandon(update);
            return hr;
        }
        return WfRegistryCommit(update);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer(void)
{
    try {
        WfRegistryUpdate* update = nullptr;
        const HRESULT hr = WfRegistryBeginUpdate(&update);
        if (FAILED(hr))
            return hr;
        removeRegistration(update);
        return WfRegistryCommit(update);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
