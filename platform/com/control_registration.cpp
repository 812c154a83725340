// The registry entries of a control: written from its project description.
#include <cstdio>
#include <string>

#include "platform/com/wf_control.h"
#include "platform/com/wf_registry.h"
#include "platform/utf16_text.h"

namespace {

std::string braced(const GUID& guid)
{
    OLECHAR text[39];
    StringFromGUID2(guid, text, 39);
    return wrenfield::utf8FromUtf16({text, 38});
}

std::string versionText(WORD major, WORD minor)
{
    return std::to_string(major) + "." + std::to_string(minor);
}

const WfTypeEntry* controlClass(const WfProjectDescription& p)
{
    for (UINT i = 0; i < p.typeCount; ++i)
        if (p.types[i].kind == WF_TYPE_COCLASS)
            return &p.types[i];
    return nullptr;
}

bool complete(const WfProjectDescription* p)
{
    return p && p->projectName && *p->projectName && p->projectDescription && p->helpDirectory && p->objectName &&
           *p->objectName && p->threadingModel && p->libid && p->types && controlClass(*p);
}

std::string progIdOf(const WfProjectDescription& p)
{
    return std::string(p.projectName) + "." + p.objectName;
}

// Sets values one after another; keeps the first failure.
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

HRESULT write(WfRegistryUpdate* update, const WfProjectDescription& p, const std::string& path)
{
    const std::string clsid = braced(*controlClass(p)->guid);
    const std::string libid = braced(*p.libid);
    const std::string progId = progIdOf(p);
    const std::string libVersion = versionText(p.typeLibMajor, p.typeLibMinor);
    const std::string classKey = "CLSID\\" + clsid;
    Writer w{update};

    // The class: its server and threading model, ProgID, the control flag,
    // the status flags of its content aspect, its toolbox picture and its
    // type library.
    w.set(classKey, nullptr, progId);
    w.set(classKey + "\\InprocServer32", nullptr, path);
    w.set(classKey + "\\InprocServer32", "ThreadingModel", p.threadingModel);
    w.set(classKey + "\\ProgID", nullptr, progId);
    w.set(classKey + "\\VERSION", nullptr, libVersion);
    w.key(classKey + "\\Control");
    w.set(classKey + "\\MiscStatus", nullptr, "0");
    w.set(classKey + "\\MiscStatus\\1", nullptr, std::to_string(p.miscStatus));
    w.set(classKey + "\\ToolboxBitmap32", nullptr, path + ", " + std::to_string(p.toolboxBitmapId));
    w.set(classKey + "\\TypeLib", nullptr, libid);

    w.set(progId, nullptr, progId);
    w.set(progId + "\\CLSID", nullptr, clsid);

    // The interfaces, marshalled by the standard automation marshaller.
    for (UINT i = 0; i < p.typeCount; ++i) {
        const WfTypeEntry& type = p.types[i];
        if (type.kind == WF_TYPE_COCLASS)
            continue;
        const std::string key = "Interface\\" + braced(*type.guid);
        w.set(key, nullptr, type.name);
        w.set(key + "\\ProxyStubClsid", nullptr, braced(CLSID_PSOAInterface));
        w.set(key + "\\ProxyStubClsid32", nullptr, braced(CLSID_PSOAInterface));
        w.set(key + "\\TypeLib", nullptr, libid);
        w.set(key + "\\TypeLib", "Version", libVersion);
    }

    // The type library, which is part of the library file itself.
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "%x", static_cast<unsigned>(p.lcid));
    const std::string libKey = "TypeLib\\" + libid + "\\" + libVersion;
    w.set(libKey, nullptr, p.projectDescription);
    w.set(libKey + "\\FLAGS", nullptr, "0");
    w.set(libKey + "\\HELPDIR", nullptr, p.helpDirectory);
    w.set(libKey + "\\" + lcid + "\\" + (sizeof(void*) == 8 ? "win64" : "win32"), nullptr, path);
    return w.status;
}

void remove(WfRegistryUpdate* update, const WfProjectDescription& p)
{
    const std::string libid = braced(*p.libid);
    WfRegistryDeleteTree(update, ("CLSID\\" + braced(*controlClass(p)->guid)).c_str());
    WfRegistryDeleteTree(update, progIdOf(p).c_str());
    for (UINT i = 0; i < p.typeCount; ++i)
        if (p.types[i].kind != WF_TYPE_COCLASS)
            WfRegistryDeleteTree(update, ("Interface\\" + braced(*p.types[i].guid)).c_str());
    WfRegistryDeleteTree(update, ("TypeLib\\" + libid + "\\" + versionText(p.typeLibMajor, p.typeLibMinor)).c_str());
    WfRegistryDeleteKeyIfEmpty(update, ("TypeLib\\" + libid).c_str());
    for (const char* root : {"CLSID", "Interface", "TypeLib"})
        WfRegistryDeleteKeyIfEmpty(update, root);
}

}  // namespace

extern "C" HRESULT WfRegisterControl(const WfProjectDescription* project, const char* libraryPath)
{
    if (!complete(project) || !libraryPath || libraryPath[0] != '/')
        return E_INVALIDARG;
    try {
        WfRegistryUpdate* update = nullptr;
        HRESULT hr = WfRegistryBeginUpdate(&update);
        if (FAILED(hr))
            return hr;
        remove(update, *project);
        hr = write(update, *project, libraryPath);
        if (FAILED(hr)) {
            WfRegistryAbandon(update);
            return hr;
        }
        return WfRegistryCommit(update);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WfUnregisterControl(const WfProjectDescription* project)
{
    if (!complete(project))
        return E_INVALIDARG;
    try {
        WfRegistryUpdate* update = nullptr;
        const HRESULT hr = WfRegistryBeginUpdate(&update);
        if (FAILED(hr))
            return hr;
        remove(update, *project);
        return WfRegistryCommit(update);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
