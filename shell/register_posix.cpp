// Registration on this project's runtime: DllRegisterServer and
// DllUnregisterServer hand the class entries (registration_entries.h) and
// the outline of the type library, with the library's own path, to the
// runtime, which writes or removes them with the type library's entries.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "shell/runtime/wf_control.h"
#include "shell/export.h"
#include "shell/project_description.h"
#include "shell/registration_entries.h"

using namespace wrenfield::shell;

namespace {

WfTypeKind kindOf(TypeKind kind)
{
    switch (kind) {
    case TypeKind::DualInterface:
        return WF_TYPE_DUAL_INTERFACE;
    case TypeKind::CoClass:
        return WF_TYPE_COCLASS;
    case TypeKind::DispInterface:
        break;
    }
    return WF_TYPE_DISPINTERFACE;
}

WfTypeEntry typeEntry(const TypeDescription& type)
{
    return {type.name.data(), kindOf(type.kind), type.guid};
}

// Every type of the library, in its order.
const auto kTypes = [] {
    std::array<WfTypeEntry, kLibrary.types.size()> entries{};
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i] = typeEntry(kLibrary.types[i]);
    return entries;
}();

// Where this library was loaded from, as an absolute path.
bool libraryPath(std::string& path)
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&libraryPath), &info) || !info.dli_fname)
        return false;
    char absolute[PATH_MAX];
    if (!realpath(info.dli_fname, absolute))
        return false;
    path = absolute;
    return true;
}

// The project description for the runtime, over the texts it points into.
class Project {
public:
    // The class entries for the library at libraryPath (none: for removal).
    explicit Project(std::string_view libraryPath = {})
        : keys_(classKeys())
        , entries_(libraryPath.empty() ? std::vector<RegistryEntry>{} : classEntries(libraryPath))
    {
        for (const std::string& key : keys_)
            keyTexts_.push_back(key.c_str());
        for (const RegistryEntry& e : entries_)
            values_.push_back({e.key.c_str(), e.name.c_str(), e.hasValue ? e.value.c_str() : nullptr});
        description_ = {
            keyTexts_.data(),
            static_cast<UINT>(keyTexts_.size()),
            values_.data(),
            static_cast<UINT>(values_.size()),
            kRegistration.projectDescription.data(),
            kRegistration.helpDirectory.data(),
            kLibrary.majorVersion,
            kLibrary.minorVersion,
            kLibrary.libid,
            kLibrary.lcid,
            kTypes.data(),
            static_cast<UINT>(kTypes.size()),
        };
    }
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;

    const WfProjectDescription* get() const { return &description_; }

private:
    std::vector<std::string> keys_;
    std::vector<RegistryEntry> entries_;
    std::vector<const char*> keyTexts_;
    std::vector<WfRegistryValue> values_;
    WfProjectDescription description_{};
};

}  // namespace

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer(void)
{
    try {
        std::string path;
        if (!libraryPath(path))
            return SELFREG_E_CLASS;
        const Project project(path);
        return WfRegisterControl(project.get(), path.c_str());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer(void)
{
    try {
        const Project project;
        return WfUnregisterControl(project.get());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
