#include "cli/window_support.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>
#include <vector>

#ifndef WRENFIELD_WINDOW_MODULE_DIR
#error "WRENFIELD_WINDOW_MODULE_DIR (the module's folder, from the executable's) is set by the build"
#endif

namespace wrenfield::cli {

namespace {

// The folder of the running executable, symbolic links resolved.
std::string executableFolder()
{
    char path[PATH_MAX];
    if (!::realpath("/proc/self/exe", path))
        return {};
    std::string folder(path);
    return folder.substr(0, folder.rfind('/'));
}

struct Loaded {
    const WindowSupport* support = nullptr;
    std::string problem;
};

Loaded load()
{
    Loaded loaded;
    if (!windowSupportBuilt()) {
        loaded.problem = "this custcent was built without Qt, which draws (configure with -DWRENFIELD_WITH_QT=ON)";
        return loaded;
    }
    const std::string folder = executableFolder();
    std::vector<std::string> candidates = {folder + "/" + kWindowModuleName,
                                           folder + "/" + WRENFIELD_WINDOW_MODULE_DIR + "/" + kWindowModuleName};
    std::string tried;
    for (const std::string& candidate : candidates) {
        void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            // A module that exists but does not load says why; a missing one is only listed.
            const char* error = ::dlerror();
            if (::access(candidate.c_str(), F_OK) == 0) {
                loaded.problem = std::string("cannot load ") + candidate + ": " + (error ? error : "unknown error");
                return loaded;
            }
            tried += (tried.empty() ? "" : ", ") + candidate;
            continue;
        }
        auto entry = reinterpret_cast<WindowSupportEntry>(::dlsym(module, kWindowSupportEntry));
        const WindowSupport* support = entry ? entry(kWindowSupportVersion) : nullptr;
        if (!support) {
            loaded.problem = candidate + " is not the drawing module of this custcent (another version?)";
            return loaded;
        }
        loaded.support = support;  // kept loaded until the program ends
        return loaded;
    }
    loaded.problem = std::string("the drawing module ") + kWindowModuleName + " is missing (looked for " + tried +
        "); it is installed with custcent";
    return loaded;
}

}  // namespace

bool windowSupportBuilt()
{
    return WRENFIELD_HAVE_WINDOW != 0;
}

const WindowSupport* windowSupport(std::string& problem)
{
    static const Loaded loaded = load();
    problem = loaded.problem;
    return loaded.support;
}

}  // namespace wrenfield::cli
