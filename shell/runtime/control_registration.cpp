// The registry entries of a control: its own class entries as the control
// library lists them, and those of its type library and interfaces, written
// or removed in one update of the registry.
#include <cstdio>
#include <memory>
#include <string>

#include "shell/runtime/wf_control.h"
#include "shell/runtime/wf_registry.h"
#include "platform/guid_text.h"

namespace {

using wrenfield::guidText;

std::string versionText(WORD major, WORD minor)
{
    return std::to_string(major) + "." + std::to_string(minor);
}

bool complete(const WfProjectDescription* p)
{
    if (!p || !p->classKeys || p->classKeyCount == 0 || (p->classValueCount > 0 && !p->classValues) ||
        !p->projectDescription || !p->helpDirectory || !p->libid || (p->typeCount > 0 && !p->types))
        return false;
    for (UINT i = 0; i < p->classKeyCount; ++i)
        if (!p->classKeys[i] || !*p->classKeys[i])
            return false;
    for (UINT i = 0; i < p->classValueCount; ++i)
        if (!p->classValues[i].key)
            return false;
    for (UINT i = 0; i < p->typeCount; ++i)
        if (!p->types[i].name || !p->types[i].guid)
            return false;
    return true;
}

// An update of the registry that is abandoned, releasing its lock, unless it
// was committed: also when an exception leaves the code that fills it.
struct UpdateAbandoner {
    void operator()(WfRegistryUpdate* update) const { WfRegistryAbandon(update); }
};
using Update = std::unique_ptr<WfRegistryUpdate, UpdateAbandoner>;

HRESULT beginUpdate(Update& update)
{
    WfRegistryUpdate* raw = nullptr;
    const HRESULT hr = WfRegistryBeginUpdate(&raw);
    update.reset(raw);
    return hr;
}

HRESULT commit(Update& update)
{
    return WfRegistryCommit(update.release());
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
    const std::string libid = guidText(*p.libid);
    const std::string libVersion = versionText(p.typeLibMajor, p.typeLibMinor);
    Writer w{update};

    for (UINT i = 0; i < p.classValueCount; ++i) {
        const WfRegistryValue& v = p.classValues[i];
        if (v.value)
            w.set(v.key, v.name, v.value);
        else
            w.key(v.key);
    }

    // The interfaces, marshalled by the standard automation marshaller.
    for (UINT i = 0; i < p.typeCount; ++i) {
        const WfTypeEntry& type = p.types[i];
        if (type.kind == WF_TYPE_COCLASS)
            continue;
        const std::string key = "Interface\\" + guidText(*type.guid);
        w.set(key, nullptr, type.name);
        w.set(key + "\\ProxyStubClsid", nullptr, guidText(CLSID_PSOAInterface));
        w.set(key + "\\ProxyStubClsid32", nullptr, guidText(CLSID_PSOAInterface));
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
    const std::string libid = guidText(*p.libid);
    for (UINT i = 0; i < p.classKeyCount; ++i)
        WfRegistryDeleteTree(update, p.classKeys[i]);
    for (UINT i = 0; i < p.typeCount; ++i)
        if (p.types[i].kind != WF_TYPE_COCLASS)
            WfRegistryDeleteTree(update, ("Interface\\" + guidText(*p.types[i].guid)).c_str());
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
        Update update;
        HRESULT hr = beginUpdate(update);
        if (FAILED(hr))
            return hr;
        remove(update.get(), *project);
        hr = write(update.get(), *project, libraryPath);
        if (FAILED(hr))
            return hr;  // abandoned: the registry stays as it was
        return commit(update);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WfUnregisterControl(const WfProjectDescription* project)
{
    if (!complete(project))
        return E_INVALIDARG;
    try {
        Update update;
        const HRESULT hr = beginUpdate(update);
        if (FAILED(hr))
            return hr;
        remove(update.get(), *project);
        return commit(update);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
