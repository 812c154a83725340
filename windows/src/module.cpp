#include "windows/src/module.h"

#include <atomic>

namespace wrenfield::windows {
namespace {

HMODULE gModule = nullptr;
std::atomic<long> gObjects{0};
std::atomic<long> gLocks{0};

}  // namespace

HMODULE thisModule() { return gModule; }

std::wstring thisModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(gModule, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try a longer buffer
    }
}

void objectCreated() { ++gObjects; }
void objectDestroyed() { --gObjects; }
void serverLocked() { ++gLocks; }
void serverUnlocked() { --gLocks; }
bool inUse() { return gObjects.load() != 0 || gLocks.load() != 0; }

}  // namespace wrenfield::windows

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        wrenfield::windows::gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
