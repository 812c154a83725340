// wfregsvr: registers or unregisters a component library, in the manner of
// the platform's own tool, and prints a library's version record.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "shell/runtime/wf_com.h"
#include "shell/runtime/wf_registry.h"
#include "shell/runtime/wf_resource.h"

namespace {

// Exit statuses: 1 to 5 as the platform's registration tool numbers them,
// then one for each way the registry itself can fail, so that a script can
// tell a damaged registry from a busy one and from a full disk.
enum Exit {
    Ok = 0,
    BadArguments = 1,
    LoadFailed = 3,
    EntryMissing = 4,
    EntryFailed = 5,
    RegistryDamaged = 6,
    RegistryLocked = 7,
    RegistryUnwritable = 8,
};

const char* kUsage = "Usage: wfregsvr [/u] [/s] [--lock-wait SECONDS] LIBRARY\n"
                     "       wfregsvr --version-info LIBRARY\n"
                     "       wfregsvr --list\n"
                     "\n"
                     "Registers the component library LIBRARY (calls its DllRegisterServer), or\n"
                     "with /u unregisters it (DllUnregisterServer).\n"
                     "\n"
                     "  /u, -u, --unregister   unregister instead of register\n"
                     "  /s, -s, --silent       print nothing on success\n"
                     "  --lock-wait SECONDS    wait at most this long (default 30) while another\n"
                     "                         process holds the registry's lock, then give up\n"
                     "  --version-info         print the library's version record\n"
                     "  --list                 print the registry\n"
                     "  /?, -h, --help         print this help\n"
                     "\n"
                     "The registry is the file named by $WRENFIELD_REGISTRY, else\n"
                     "$XDG_CONFIG_HOME/wrenfield/registry, else ~/.config/wrenfield/registry.\n"
                     "A registry file that is damaged is refused whole and left as it is, with\n"
                     "the line at fault named: a NUL byte, a line of no known form, or a key (or\n"
                     "a value name within one key) given twice, also in another case, since\n"
                     "names are compared without regard to case: the file's keeper decides\n"
                     "which of the two holds. Control characters in texts are written escaped\n"
                     "(\\n, \\xHH), so --list prints every entry on a line of its own.\n"
                     "\n"
                     "Exit status:\n"
                     "  0  done\n"
                     "  1  bad arguments\n"
                     "  3  the library cannot be loaded\n"
                     "  4  it lacks the entry point (or, for --version-info, a version record)\n"
                     "  5  the entry point failed for a reason of its own\n"
                     "  6  the registry is damaged or cannot be read (nothing was changed)\n"
                     "  7  another process held the registry's lock for the whole wait\n"
                     "  8  the registry cannot be written (a full disk, no permission; the old\n"
                     "     registry is kept)\n";

// The exit status for a failure of an entry point or of the registry.
int exitFor(HRESULT hr)
{
    if (hr == REGDB_E_READREGDB)
        return RegistryDamaged;
    if (hr == WF_REGISTRY_E_LOCKED)
        return RegistryLocked;
    if (hr == REGDB_E_WRITEREGDB)
        return RegistryUnwritable;
    return EntryFailed;
}

// What the registry said about its last failure, as a second sentence.
std::string registryReason()
{
    const char* why = WfRegistryLastError();
    return why && *why ? std::string(" ") + why + "." : std::string();
}

void noteWaiting(const char* path, unsigned long holder, void* context)
{
    const auto seconds = *static_cast<const double*>(context);
    if (holder)
        std::fprintf(stderr, "wfregsvr: %s is locked by process %lu; waiting up to %g s...\n", path, holder, seconds);
    else
        std::fprintf(stderr, "wfregsvr: %s is locked by another process; waiting up to %g s...\n", path, seconds);
}

std::string describe(HRESULT hr)
{
    struct Known {
        HRESULT code;
        const char* text;
    };
    static const Known known[] = {
        {E_OUTOFMEMORY, "out of memory"},
        {E_ACCESSDENIED, "access denied"},
        {E_FAIL, "unspecified failure"},
        {E_UNEXPECTED, "unexpected failure"},
        {REGDB_E_READREGDB, "the registry could not be read (damaged or unreadable file)"},
        {REGDB_E_WRITEREGDB, "the registry could not be written"},
        {WF_REGISTRY_E_LOCKED, "the registry stayed locked by another process"},
        {SELFREG_E_CLASS, "the classes could not be registered"},
        {SELFREG_E_TYPELIB, "the type library could not be registered"},
    };
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    for (const Known& k : known)
        if (k.code == hr)
            return std::string(code) + ": " + k.text;
    return code;
}

void* load(const char* library)
{
    char absolute[PATH_MAX];
    // A path with a "/" is used as it stands; realpath makes it absolute so
    // that the registration records where the library really is.
    const char* path = realpath(library, absolute) ? absolute : library;
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        std::fprintf(stderr, "wfregsvr: cannot load %s: %s\n", library, dlerror());
    return handle;
}

int registerLibrary(const char* library, bool unregister, bool silent)
{
    void* handle = load(library);
    if (!handle)
        return LoadFailed;
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
    if (!fn) {
        std::fprintf(stderr, "wfregsvr: %s was loaded, but the entry point %s was not found.\n", library, entry);
        dlclose(handle);
        return EntryMissing;
    }
    const HRESULT hr = fn();
    dlclose(handle);
    if (FAILED(hr)) {
        const int status = exitFor(hr);
        std::fprintf(stderr, "wfregsvr: %s in %s failed with error %s.%s\n", entry, library, describe(hr).c_str(),
                     status == EntryFailed ? "" : registryReason().c_str());
        return status;
    }
    if (!silent)
        std::printf("%s in %s succeeded (registry %s).\n", entry, library, WfRegistryPath());
    return Ok;
}

int printVersionInfo(const char* library)
{
    void* handle = load(library);
    if (!handle)
        return LoadFailed;
    const WfResource* resource = WfFindResource(handle, WF_RT_VERSION, 1);
    if (!resource || resource->size != sizeof(WfVersionRecord)) {
        std::fprintf(stderr, "wfregsvr: %s has no version record.\n", library);
        dlclose(handle);
        return EntryMissing;
    }
    const auto& v = *static_cast<const WfVersionRecord*>(resource->data);
    std::printf("FileVersion (fixed)     %u.%u.%u.%u\n", v.fileVersion[0], v.fileVersion[1], v.fileVersion[2],
                v.fileVersion[3]);
    std::printf("ProductVersion (fixed)  %u.%u.%u.%u\n", v.productVersion[0], v.productVersion[1], v.productVersion[2],
                v.productVersion[3]);
    std::printf("FileFlagsMask           0x%08X\n", v.fileFlagsMask);
    std::printf("FileFlags               0x%08X\n", v.fileFlags);
    std::printf("FileOS                  0x%08X\n", v.fileOS);
    std::printf("FileType                0x%08X%s\n", v.fileType,
                v.fileType == WF_VFT_DLL ? " (dynamic-link library)" : "");
    std::printf("FileSubtype             0x%08X\n", v.fileSubtype);
    std::printf("StringFileInfo          %s\n", v.stringBlock);
    for (UINT i = 0; i < v.stringCount; ++i)
        std::printf("  %-21s \"%s\"\n", v.strings[i].key, v.strings[i].value);
    std::printf("Translation             0x%04X, %u\n", v.translationLanguage, v.translationCodePage);
    dlclose(handle);
    return Ok;
}

int list()
{
    char* text = WfRegistryDumpText();
    if (!text) {
        std::fprintf(stderr, "wfregsvr: cannot read the registry %s.%s\n", WfRegistryPath(), registryReason().c_str());
        return RegistryDamaged;
    }
    std::fputs(text, stdout);
    WfRegistryFreeText(text);
    return Ok;
}

}  // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    bool silent = false;
    bool versionInfo = false;
    bool listRegistry = false;
    double lockWaitSeconds = 30;
    std::vector<const char*> libraries;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--lock-wait") {
            char* end = nullptr;
            lockWaitSeconds = i + 1 < argc ? std::strtod(argv[i + 1], &end) : -1;
            if (!end || *end != '\0' || end == argv[i + 1] || !(lockWaitSeconds >= 0 && lockWaitSeconds <= 86400)) {
                std::fprintf(stderr, "wfregsvr: --lock-wait takes a number of seconds from 0 to 86400\n");
                return BadArguments;
            }
            ++i;
        } else if (arg == "/u" || arg == "/U" || arg == "-u" || arg == "--unregister")
            unregister = true;
        else if (arg == "/s" || arg == "/S" || arg == "-s" || arg == "--silent")
            silent = true;
        else if (arg == "--version-info")
            versionInfo = true;
        else if (arg == "--list")
            listRegistry = true;
        else if (arg == "/?" || arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return Ok;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "wfregsvr: unknown option %s\n\n%s", argv[i], kUsage);
            return BadArguments;
        } else
            libraries.push_back(argv[i]);
    }
    if (listRegistry) {
        if (!libraries.empty() || unregister || versionInfo) {
            std::fprintf(stderr, "wfregsvr: --list takes nothing else\n");
            return BadArguments;
        }
        return list();
    }
    // A registry file grown past the size limit (ulimit -f) fails its write
    // with "File too large" rather than ending the tool without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    WfRegistrySetLockWait(static_cast<DWORD>(lockWaitSeconds * 1000), noteWaiting, &lockWaitSeconds);
    if (libraries.size() != 1 || (versionInfo && unregister)) {
        std::fprintf(stderr, "wfregsvr: name exactly one library\n\n%s", kUsage);
        return BadArguments;
    }
    return versionInfo ? printVersionInfo(libraries[0]) : registerLibrary(libraries[0], unregister, silent);
}
