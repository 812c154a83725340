// Registration on this project's runtime: DllRegisterServer and
// DllUnregisterServer hand the library's project description, with the
// library's own path, to the runtime, which writes or removes the entries.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "platform/com/wf_control.h"
#include "shell/export.h"
#include "shell/project_description.h"

using namespace wrenfield::shell;

namespace {

WfTypeKind kindOf(TypeKind kind)
{
    switch (kind) {
    case TypeKind::DualInterface: return WF_TYPE_DUAL_INTERFACE;
    case TypeKind::CoClass: return WF_TYPE_COCLASS;
    case TypeKind::DispInterface: break;
    }
    return WF_TYPE_DISPINTERFACE;
}

const WfTypeEntry kTypes[] = {
    {kLibrary.types[0].name.data(), kindOf(kLibrary.types[0].kind), kLibrary.types[0].guid},
    {kLibrary.types[1].name.data(), kindOf(kLibrary.types[1].kind), kLibrary.types[1].guid},
    {kLibrary.types[2].name.data(), kindOf(kLibrary.types[2].kind), kLibrary.types[2].guid},
};

const WfProjectDescription kProject = {
    kRegistration.projectName.data(),
    kRegistration.projectDescription.data(),
    kRegistration.helpDirectory.data(),
    kRegistration.typeLibMajor,
    kRegistration.typeLibMinor,
    kRegistration.objectName.data(),
    kRegistration.miscStatus,
    kRegistration.toolboxBitmapId,
    kRegistration.threadingModel.data(),
    kLibrary.libid,
    kLibrary.lcid,
    kTypes,
    sizeof kTypes / sizeof kTypes[0],
};

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

}  // namespace

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer(void)
{
    try {
        std::string path;
        if (!libraryPath(path))
            return SELFREG_E_CLASS;
        return WfRegisterControl(&kProject, path.c_str());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" WRENFIELD_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer(void)
{
    return WfUnregisterControl(&kProject);
}
