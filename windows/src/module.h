// What the library knows about itself while loaded: its module handle and
// path, and how many objects and server locks keep it in use.
#pragma once

#include <windows.h>

#include <string>

namespace wrenfield::windows {

HMODULE thisModule();
// The library's own file name, as the registry and the type library loader need it.
std::wstring thisModulePath();

// Live instances and class-factory locks; DllCanUnloadNow answers S_OK only at zero.
void objectCreated();
void objectDestroyed();
void serverLocked();
void serverUnlocked();
bool inUse();

}  // namespace wrenfield::windows
